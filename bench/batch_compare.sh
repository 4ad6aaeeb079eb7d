#!/usr/bin/env bash
# The batched display lists against meshoptimizer's orderings, and the cost of
# -b end to end.
#
#   bench/batch_compare.sh [DIR...]   build (release, in build-bench/), then print
#
# For the cache sizes 32, 16, 64 and 3: loads and commands per triangle of
# every real object in tests/data/real-lwo2, every sample in examples/ and
# every .lwo under each DIR given (a larger set kept outside the repository;
# a file whose bytes are already listed is left out), converted with
# -s 100 -k, then of two generated triangle grids, each next to
# meshoptimizer's figures on the same triangles (bench/batch_compare.cpp
# says which), with the total and the worst object. Last, the fastest of
# REPEATS runs (default 7) of the program on the larger grid, default and -b
# in turn: wall time, since -b writes much less text than the default mode.
set -euo pipefail
cd "$(dirname "$0")/.."

repeats="${REPEATS:-7}"
build=build-bench
generator=()
command -v ninja > /dev/null && generator=(-G Ninja)
[[ -f "$build/CMakeCache.txt" ]] && generator=()
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DQUILLMESH_TESTS=OFF > /dev/null
cmake --build "$build" -j2 --target quillmesh batch_stats batch_compare > /dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
grids=()
for t in 32768 100000; do
  "$build/bench/batch_stats" --grid "$t" "$work/grid-$t.lwo"
  grids+=("$work/grid-$t.lwo")
done

# The objects, each distinct file once.
objects=()
declare -A listed
while IFS= read -r -d '' path; do
  sum=$(sha256sum < "$path")
  [[ -n "${listed[$sum]:-}" ]] && continue
  listed[$sum]=1
  objects+=("$path")
done < <(find tests/data/real-lwo2 examples "$@" -name '*.lwo' -print0 | sort -z)

for cache in 32 16 64 3; do
  echo "== real objects and samples"
  "$build/bench/batch_compare" "$cache" 100 "${objects[@]}"
  echo "== grids"
  "$build/bench/batch_compare" "$cache" 1 "${grids[@]}" | tail -n +2 | grep -v '^worst'
  echo
done

# Nanoseconds of one run.
run_ns() {
  local start end
  start=$(date +%s%N)
  "$@" > /dev/null
  end=$(date +%s%N)
  echo $((end - start))
}

grid="${grids[-1]}"
best_default='' best_batched=''
for ((i = 0; i < repeats; i++)); do
  d=$(run_ns "$build/quillmesh" "$grid" -o "$work/default.c")
  b=$(run_ns "$build/quillmesh" "$grid" -b -o "$work/batched.c")
  [[ -z "$best_default" || "$d" -lt "$best_default" ]] && best_default=$d
  [[ -z "$best_batched" || "$b" -lt "$best_batched" ]] && best_batched=$b
done
awk -v d="$best_default" -v b="$best_batched" 'BEGIN {
  printf "grid of 100000 triangles, fastest of runs: default %.1f ms, -b %.1f ms, ratio %.2f (target at most 1.3)\n",
         d / 1e6, b / 1e6, b / d }'
