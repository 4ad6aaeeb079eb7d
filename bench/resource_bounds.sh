#!/usr/bin/env bash
# Converts inputs built to be slow or large (bench/hostile_gen.cpp), each at
# three sizes, and prints input size, time and peak memory: both should grow
# at most in proportion to the input. Run by hand; it checks nothing itself.
#
#   bench/resource_bounds.sh [build dir, default build]
#
# Needs GNU time (/usr/bin/time, Debian package `time`).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build}"
cmake --build "$build" --target quillmesh quillmesh_hostile_gen > /dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# kind, then the sizes N (see hostile_gen.cpp for what N counts).
cases=(
  "shared-point 15000 30000 60000"
  "tiled-fan 2000 8000 32000"
  "vmad-one-point 3000 30000 300000"
  "big-polygons 16 64 256"
  "claims-4gib 1 1024 16384"
  "empty-records 100000 1000000 4000000"
  "tiny-chunks 10000 100000 1000000"
  "tiny-subchunks 1000 10000 100000"
)

printf '%-15s %8s %11s %8s %9s %11s  %s\n' kind N "input B" seconds "peak KiB" "output B" "exit, first line"
for line in "${cases[@]}"; do
  read -r -a words <<< "$line"
  kind="${words[0]}"
  options=""
  [ "$kind" = tiled-fan ] && options="-t"
  for n in "${words[@]:1}"; do
    rm -f "$work"/*
    "$build/bench/quillmesh_hostile_gen" "$kind" "$n" "$work/in.lwo"
    status=0
    # shellcheck disable=SC2086
    /usr/bin/time -f "%e %M" -o "$work/time" "$build/quillmesh" "$work/in.lwo" -o "$work/out.c" $options \
      > "$work/stdout" || status=$?
    read -r seconds kib < <(tail -n 1 "$work/time")
    output_bytes=0
    [ -f "$work/out.c" ] && output_bytes="$(stat -c %s "$work/out.c")"
    lines="$(wc -l < "$work/stdout")"
    first="$(head -n 1 "$work/stdout" | cut -c 1-60)"
    [ "$lines" -gt 1 ] && first="$first (+$((lines - 1)) lines)"
    printf '%-15s %8s %11s %8s %9s %11s  %s\n' "$kind" "$n" "$(stat -c %s "$work/in.lwo")" "$seconds" "$kib" \
      "$output_bytes" "$status${first:+, $first}"
  done
done
