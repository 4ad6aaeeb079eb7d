#!/usr/bin/env bash
# Converts inputs built to be slow or large (bench/hostile_gen.cpp), each at
# about 1 MB and 10 MB, and prints CPU time and peak memory against the goal:
# at most 0.5 s of CPU and 16 MiB + 32 MiB of peak memory per MB of input,
# growing linearly, whatever the size of the output (printed beside it for
# reference: the text is written as it is made, so it need not be held).
#
# The image families are printed apart: their cost is the decoded image, not
# the object file, and is measured at fixed sizes against the size of one
# decoded image in 8-bit RGBA.
#
#   bench/resource_bounds.sh [build dir, default build]
#
# Exits non-zero when a family misses the goal. Times and peak memory come
# from bench/measure.cpp, as in bench/run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build}"
cmake --build "$build" --target quillmesh quillmesh_hostile_gen quillmesh_bench_measure > /dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# kind, then N for about 1 MB of input (see hostile_gen.cpp for what N
# counts); the 10 MB run takes ten times N.
cases=(
  "shared-point 90000"
  "tiled-fan 50000"
  "vmad-one-point 87000"
  "big-polygons 512"
  "comb 512"
  "claims-4gib 1024"
  "empty-records 174000"
  "tiny-chunks 58000"
  "tiny-subchunks 75000"
  "empty-layers 131000"
  "ptag-surfaces 65000"
  "layer-ptags 29000"
)
# kind, then the fixed sizes N.
image_cases=(
  "shared-image 40"
  "big-image 8192"
)

missed=0

# Runs one conversion of $work/in.lwo; sets seconds (user + system), kib,
# output_bytes and status.
convert() {
  local wall cpu
  rm -f "$work/out.c"
  # shellcheck disable=SC2086
  read -r wall kib status cpu _ < <("$build/bench/quillmesh_bench_measure" "$build/quillmesh" "$work/in.lwo" \
    -o "$work/out.c" $1)
  seconds="$(awk -v c="$cpu" 'BEGIN { printf "%.2f", c }')"
  output_bytes=0
  if [ -f "$work/out.c" ]; then output_bytes="$(stat -c %s "$work/out.c")"; fi
}

printf '%-15s %8s %8s %6s %6s %8s %8s %8s  %s\n' kind N "input MB" "CPU s" "goal s" "peak MiB" \
  "goal MiB" "out MiB" "exit"
for line in "${cases[@]}"; do
  read -r kind n1 <<< "$line"
  options=""
  [ "$kind" = tiled-fan ] && options="-t"
  for n in "$n1" "$((n1 * 10))"; do
    rm -rf "${work:?}"/*
    "$build/bench/quillmesh_hostile_gen" "$kind" "$n" "$work/in.lwo"
    convert "$options"
    bytes="$(stat -c %s "$work/in.lwo")"
    mb="$(awk -v b="$bytes" 'BEGIN { printf "%.2f", b / 1048576 }')"
    goal_seconds="$(awk -v b="$bytes" 'BEGIN { printf "%.2f", 0.5 * b / 1048576 }')"
    goal_mib="$(awk -v b="$bytes" 'BEGIN { printf "%.1f", 16 + 32 * b / 1048576 }')"
    mib="$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')"
    out_mib="$(awk -v b="$output_bytes" 'BEGIN { printf "%.1f", b / 1048576 }')"
    verdict=""
    if awk -v s="$seconds" -v gs="$goal_seconds" -v m="$mib" -v g="$goal_mib" 'BEGIN { exit !(s > gs || m > g) }'; then
      verdict=" OVER"
      missed=$((missed + 1))
    fi
    printf '%-15s %8s %8s %6s %6s %8s %8s %8s  %s%s\n' "$kind" "$n" "$mb" "$seconds" "$goal_seconds" \
      "$mib" "$goal_mib" "$out_mib" "$status" "$verdict"
  done
done

echo
printf '%-15s %8s %6s %8s %11s %8s  %s\n' kind N "CPU s" "peak MiB" "image MiB" "out MiB" "exit"
for line in "${image_cases[@]}"; do
  read -r kind n <<< "$line"
  rm -rf "${work:?}"/*
  "$build/bench/quillmesh_hostile_gen" "$kind" "$n" "$work/in.lwo"
  convert ""
  side=1024
  [ "$kind" = big-image ] && side="$n"
  printf '%-15s %8s %6s %8s %11s %8s  %s\n' "$kind" "$n" "$seconds" "$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')" \
    "$((side * side * 4 / 1048576))" "$(awk -v b="$output_bytes" 'BEGIN { printf "%.1f", b / 1048576 }')" "$status"
done

[ "$missed" -eq 0 ]
