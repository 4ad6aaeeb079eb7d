#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a bounded time from its seed
# corpus; fails when any of them finds a crash, a leak, undefined behaviour,
# a run over 10 seconds or over 2 GiB, or fuzz_pipeline making a single
# allocation over 18 MiB: the program's goal is at most 16 MiB + 32 MiB of
# memory per MB of input, and its inputs are kept to 64 KiB. (The address
# sanitizer's own memory keeps the whole-process limit at 2 GiB.) fuzz_image
# may allocate up to the decoder's bound on one image's pixels.
#
#   fuzz/run.sh [seconds per target, default 90]
#
# Needs g++ (or clang with std::expected) and libFuzzer's runtime from
# libclang-rt-14-dev; see fuzz/README.md. Findings are kept in
# build-fuzz/findings/, new corpus entries in build-fuzz/corpus/: both are
# left out of the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-90}"
build="${QUILLMESH_FUZZ_BUILD:-build-fuzz}"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMESH_FUZZ=ON -DQUILLMESH_TESTS=OFF \
  -DQUILLMESH_WERROR=ON
cmake --build "$build" --target fuzz_image fuzz_pipeline

passed=0
failed=0
for target in fuzz_image fuzz_pipeline; do
  case "$target" in
    fuzz_image) dict=fuzz/image.dict; limits="-malloc_limit_mb=2048" ;;
    fuzz_pipeline) dict=fuzz/lwo2.dict; limits="-max_len=65536 -malloc_limit_mb=18" ;;
  esac
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  echo "== $target: $seconds s"
  # shellcheck disable=SC2086
  if "$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 $limits -timeout=10 \
       -dict="$dict" -artifact_prefix="$findings/" -print_final_stats=1 \
       "$corpus" "fuzz/corpus/$target"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "== $target found a fault; the input is in $findings/"
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
