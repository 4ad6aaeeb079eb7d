#!/usr/bin/env bash
# Speed and memory of the converter on large objects, and a guard on its output.
#
#   bench/run.sh            build (release, in build-bench/), measure, check
#   bench/run.sh --record   the same, then write the checksums of today's output
#                           into bench/checksums.txt
#
# Benchmark grids of 100k, 300k and 1M triangles (tools/samplegen.cpp) are
# converted REPEATS times each (default 5); the median run is shown with input
# and output size, triangles and output bytes per second, peak memory, and the
# time `cp` takes to copy the output (what merely writing that many bytes costs
# on this machine). The 1M grid is also converted with the -p preview. Targets are printed PASS or FAIL; timings depend on the
# machine, so they never fail the script.
#
# Every output's sha256 is compared with bench/checksums.txt: the grids, and
# the bundled samples with and without -t. A difference exits with status 1,
# since speed work must never change a byte of the output.
set -euo pipefail
cd "$(dirname "$0")/.."

record=0
case "${1:-}" in
  "") ;;
  --record) record=1 ;;
  *) echo "Usage: bench/run.sh [--record]" >&2; exit 2 ;;
esac

repeats="${REPEATS:-5}"
build=build-bench
sizes=(100000 300000 1000000)
checksums=bench/checksums.txt

generator=()
command -v ninja > /dev/null && generator=(-G Ninja)
[[ -f "$build/CMakeCache.txt" ]] && generator=()
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DQUILLMESH_TESTS=OFF > /dev/null
cmake --build "$build" -j2 --target quillmesh quillmesh_samplegen quillmesh_bench_measure > /dev/null

quillmesh="$build/quillmesh"
measure="$build/bench/quillmesh_bench_measure"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Runs a command REPEATS times into a fresh output each time (the file named
# by $1 is removed first, untimed) and prints the median wall time, the
# highest peak memory in KiB and the median processor time.
median_run() {
  local out="$1"; shift
  local walls=() cpus=() peak=0 line seconds kib status cpu
  for ((i = 0; i < repeats; i++)); do
    rm -f "$out"
    line="$("$measure" "$@")"
    read -r seconds kib status cpu <<< "$line"
    if [[ "$status" != 0 ]]; then
      echo "bench/run.sh: '$*' failed with status $status" >&2
      exit 1
    fi
    walls+=("$seconds") cpus+=("$cpu")
    ((kib > peak)) && peak=$kib
  done
  echo "$(median "${walls[@]}") $peak $(median "${cpus[@]}")"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A sums  # output name -> sha256
declare -A seconds_of peak_of floor_of out_bytes_of

printf '%10s %11s %12s %8s %8s %13s %11s %9s %7s\n' \
  triangles "input B" "output B" "time s" "cpu s" "triangles/s" "output MB/s" "peak MiB" "cp s"
for t in "${sizes[@]}"; do
  lwo="$work/grid-$t.lwo"
  out="$work/grid-$t.c"
  "$build/tools/quillmesh_samplegen" grid "$t" "$lwo"
  read -r seconds kib cpu < <(median_run "$out" "$quillmesh" "$lwo" -o "$out")
  if ((t == 1000000)); then  # the same run drawing the -p preview as well
    read -r preview_seconds _ preview_cpu < <(median_run "$out" "$quillmesh" "$lwo" -o "$out" -p "$work/preview.png")
    rm -f "$work/preview.png"
  fi
  read -r floor _ < <(median_run "$work/copy.c" cp "$out" "$work/copy.c")
  rm -f "$work/copy.c"
  in_bytes=$(stat -c %s "$lwo")
  out_bytes=$(stat -c %s "$out")
  sums["grid-$t.c"]=$(sha256sum "$out" | cut -d' ' -f1)
  ((t == 1000000)) && cpu_big=$cpu
  seconds_of[$t]=$seconds peak_of[$t]=$kib floor_of[$t]=$floor out_bytes_of[$t]=$out_bytes
  awk -v t="$t" -v i="$in_bytes" -v o="$out_bytes" -v s="$seconds" -v c="$cpu" -v k="$kib" -v f="$floor" \
    'BEGIN { printf "%10d %11d %12d %8.3f %8.3f %13.0f %11.0f %9.1f %7.3f\n", t, i, o, s, c, t / s, o / s / 1e6, k / 1024, f }'
  rm -f "$lwo" "$out" "$work/grid-$t.png"
done

echo
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
check() {  # description, awk condition over the variables given after it
  local name="$1" condition="$2"; shift 2
  if awk "$@" "BEGIN { exit !($condition) }"; then echo "PASS  $name"; else echo "FAIL  $name"; fi
}
big=1000000 mid=300000
t_big="${seconds_of[$big]}" t_mid="${seconds_of[$mid]}" floor="${floor_of[$big]}"
mb_s=$(awk -v o="${out_bytes_of[$big]}" -v s="$t_big" 'BEGIN { printf "%.0f", o / s / 1e6 }')
check "1M triangles end to end under 1 s: $t_big s" "t < 1" -v t="$t_big"
check "1M case at most 3.5 x the 300k case: $(ratio "$t_big" "$t_mid") x" "b <= 3.5 * m" -v b="$t_big" -v m="$t_mid"
check "1M case writes at least 300 MB/s: $mb_s MB/s" "r >= 300" -v r="$mb_s"
check "1M case at most 4 x the cp floor: $(ratio "$t_big" "$floor") x" "t <= 4 * f" -v t="$t_big" -v f="$floor"
check "1M case with -p at most 2 x without: $(ratio "$preview_seconds" "$t_big") x ($preview_seconds s; cpu $(ratio "$preview_cpu" "$cpu_big") x)" \
  "p <= 2 * t" -v p="$preview_seconds" -v t="$t_big"
check "1M case peak memory below 300 MiB: $((peak_of[$big] / 1024)) MiB" "k < 300 * 1024" -v k="${peak_of[$big]}"
check "peak memory grows at most linearly, 1M at most 3.5 x 300k: $(ratio "${peak_of[$big]}" "${peak_of[$mid]}") x" \
  "b <= 3.5 * m" -v b="${peak_of[$big]}" -v m="${peak_of[$mid]}"

# The bundled samples, as they are and tiled.
for lwo in examples/*/*.lwo; do
  name="${lwo#examples/}"
  for flag in "" -t; do
    out="$work/sample.c"
    "$quillmesh" "$lwo" -o "$out" ${flag:+"$flag"} > /dev/null
    sums["$name$flag.c"]=$(sha256sum "$out" | cut -d' ' -f1)
    rm -f "$out"
  done
done

echo
if ((record)); then
  for name in "${!sums[@]}"; do printf '%s  %s\n' "${sums[$name]}" "$name"; done | sort -k2 > "$checksums"
  echo "recorded ${#sums[@]} checksums in $checksums"
  exit 0
fi
differ=0
while read -r sum name; do
  [[ -z "$name" ]] && continue
  if [[ -z "${sums[$name]:-}" ]]; then
    echo "FAIL  $name: not converted"; differ=1
  elif [[ "${sums[$name]}" != "$sum" ]]; then
    echo "FAIL  $name: output differs from bench/checksums.txt"; differ=1
  fi
done < "$checksums"
for name in "${!sums[@]}"; do
  grep -q "  $name\$" "$checksums" || { echo "FAIL  $name: no checksum recorded"; differ=1; }
done
((differ)) && exit 1
echo "PASS  all ${#sums[@]} outputs match bench/checksums.txt"
