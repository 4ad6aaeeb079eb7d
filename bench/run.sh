#!/usr/bin/env bash
# Speed and memory of the converter on large objects, and a guard on its output.
#
#   bench/run.sh                   build (release, in build-bench/), measure, check
#   bench/run.sh --record          the same, then write the checksums of today's
#                                  output into bench/checksums.txt
#   bench/run.sh --program PATH    measure and check that program instead of
#                                  building one (an older build, to compare)
#
# Benchmark grids of 1M, 3M and 10M triangles (tools/samplegen.cpp, a 256 x 256
# texture) are converted REPEATS times each (default 5), with and without -b.
# Each repeat runs, back to back, `cp` of the output to a new file, then the
# converter without and with -b (the two taking turns at going first), each
# into a new file: cp to a new file is what
# merely writing that many bytes costs here, and measuring it in the same
# pairs keeps a busy machine from favouring either side. The 1M grid is also
# converted with the -p preview. The best (least) time of each is shown, with
# the highest peak memory and the most minor page faults (memory touched for
# the first time, which costs much on a virtual machine). A textured object
# of 1M triangles in layers of 30,000 points (bench/hostile_gen.cpp,
# textured-layers) is measured beside them, for its peak memory and faults.
# A 1M grid whose surface has a smoothing angle of 89 degrees is converted
# with and without lit normals (-l), the two taking turns at going first.
#
# The goals are printed PASS or FAIL; timings depend on the machine, so they
# never fail the script. Every output's sha256 is compared with
# bench/checksums.txt (the grids with and without -b, two small grids, the
# bundled samples with and without -t); a difference exits with status 1,
# since speed work must never change a byte of the output.
set -euo pipefail
cd "$(dirname "$0")/.."

record=0
program=""
while (($#)); do
  case "$1" in
    --record) record=1 ;;
    --program) program="${2:?--program needs a path}"; shift ;;
    *) echo "Usage: bench/run.sh [--record] [--program PATH]" >&2; exit 2 ;;
  esac
  shift
done

repeats="${REPEATS:-5}"
build=build-bench
sizes=(1000000 3000000 10000000)
small_sizes=(100000 300000)  # checksums only
checksums=bench/checksums.txt

generator=()
command -v ninja > /dev/null && generator=(-G Ninja)
[[ -f "$build/CMakeCache.txt" ]] && generator=()
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DQUILLMESH_TESTS=OFF > /dev/null
targets=(quillmesh_samplegen quillmesh_hostile_gen quillmesh_bench_measure)
[[ -z "$program" ]] && targets+=(quillmesh)
cmake --build "$build" -j2 --target "${targets[@]}" > /dev/null

quillmesh="${program:-$build/quillmesh}"
measure="$build/bench/quillmesh_bench_measure"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Runs a command into a new output file (the file named by $1 is removed first,
# untimed) and prints its wall time, peak memory in KiB, processor time, the
# user part of it and its minor page faults.
run_once() {
  local out="$1"; shift
  local seconds kib status cpu user faults
  rm -f "$out"
  read -r seconds kib status cpu user faults < <("$measure" "$@")
  if [[ "$status" != 0 ]]; then
    echo "bench/run.sh: '$*' failed with status $status" >&2
    exit 1
  fi
  echo "$seconds $kib $cpu $user $faults"
}

least() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
most() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b > a) ? b : a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

declare -A sums  # output name -> sha256
declare -A time_of peak_of cpu_of user_of floor_of faults_of

printf '%10s %4s %11s %12s %8s %8s %8s %9s %7s %8s %8s\n' \
  triangles mode "input B" "output B" "time s" "cpu s" "user s" "peak MiB" faults "cp s" "x cp"
for t in "${sizes[@]}"; do
  lwo="$work/grid-$t.lwo"
  "$build/tools/quillmesh_samplegen" grid "$t" "$lwo"
  in_bytes=$(stat -c %s "$lwo")
  # The outputs are kept for the checksums and as cp's source.
  "$quillmesh" "$lwo" -o "$work/grid-$t.c" > /dev/null
  "$quillmesh" "$lwo" -o "$work/grid-$t-b.c" -b > /dev/null
  floor=""
  modes=(default -b)
  ((t == 1000000)) && modes+=(-p)  # the run that also draws the preview
  for ((i = 0; i < repeats; i++)); do
    read -r seconds _ < <(run_once "$work/copy.c" cp "$work/grid-$t.c" "$work/copy.c")
    floor=$(least "$floor" "$seconds")
    # The modes take turns at running first after cp: on a virtual machine
    # the first run to touch the memory cp's gigabyte freed pays for it
    # again (seen at 10M: 1.1 s alone, up to 5 s straight after cp).
    order=("${modes[@]:i % ${#modes[@]}}" "${modes[@]:0:i % ${#modes[@]}}")
    for mode in "${order[@]}"; do
      flag=(); [[ "$mode" == -b ]] && flag=(-b)
      [[ "$mode" == -p ]] && flag=(-p "$work/preview.png")
      key="$t$mode"
      read -r seconds kib cpu user faults < <(run_once "$work/out.c" "$quillmesh" "$lwo" -o "$work/out.c" "${flag[@]}")
      time_of[$key]=$(least "${time_of[$key]:-}" "$seconds")
      cpu_of[$key]=$(least "${cpu_of[$key]:-}" "$cpu")
      user_of[$key]=$(least "${user_of[$key]:-}" "$user")
      peak_of[$key]=$(most "${peak_of[$key]:-}" "$kib")
      faults_of[$key]=$(most "${faults_of[$key]:-}" "$faults")
    done
  done
  rm -f "$work/copy.c" "$work/out.c" "$work/preview.png"
  floor_of[$t]=$floor
  for mode in "${modes[@]}"; do
    key="$t$mode" out="$work/grid-$t.c"
    [[ "$mode" == -b ]] && out="$work/grid-$t-b.c"
    [[ "$mode" != -p ]] && sums["grid-$t${mode/default/}.c"]=$(sha256sum "$out" | cut -d' ' -f1)
    awk -v t="$t" -v m="$mode" -v i="$in_bytes" -v o="$(stat -c %s "$out")" -v s="${time_of[$key]}" \
      -v c="${cpu_of[$key]}" -v u="${user_of[$key]}" -v k="${peak_of[$key]}" -v n="${faults_of[$key]}" -v f="$floor" \
      'BEGIN { printf "%10d %4s %11d %12d %8.3f %8.3f %8.3f %9.1f %7d %8.3f %8.2f\n", t, (m == "default" ? "" : m), i, o, s, c, u, k / 1024, n, f, s / f }'
  done
  rm -f "$lwo" "$work/grid-$t.c" "$work/grid-$t-b.c" "$work/grid-$t.png"
done
textured=1000000
"$build/bench/quillmesh_hostile_gen" textured-layers "$textured" "$work/textured.lwo"
for ((i = 0; i < repeats; i++)); do
  read -r seconds kib cpu user faults < <(run_once "$work/textured.c" "$quillmesh" "$work/textured.lwo" -o "$work/textured.c")
  time_of[textured]=$(least "${time_of[textured]:-}" "$seconds")
  peak_of[textured]=$(most "${peak_of[textured]:-}" "$kib")
  faults_of[textured]=$(most "${faults_of[textured]:-}" "$faults")
done
sums["textured-$textured.c"]=$(sha256sum "$work/textured.c" | cut -d' ' -f1)
awk -v i="$(stat -c %s "$work/textured.lwo")" -v o="$(stat -c %s "$work/textured.c")" -v s="${time_of[textured]}" \
  -v k="${peak_of[textured]}" -v n="${faults_of[textured]}" \
  'BEGIN { printf "%10s %4s %11d %12d %8.3f %8s %8s %9.1f %7d\n", "1000000", "tex", i, o, s, "", "", k / 1024, n }'
rm -f "$work/textured".* "$work/tile.bmp"

echo
check() {  # description, awk condition over the variables given after it
  local name="$1" condition="$2"; shift 2
  if awk "$@" "BEGIN { exit !($condition) }"; then echo "PASS  $name"; else echo "FAIL  $name"; fi
}
one=1000000 ten=10000000
t1="${time_of[${one}default]}" t1b="${time_of[${one}-b]}" t10="${time_of[${ten}default]}"
p1="${peak_of[${one}default]}" p10="${peak_of[${ten}default]}"
check "1M to a new file at most 4 x cp to a new file: $(ratio "$t1" "${floor_of[$one]}") x" \
  "t <= 4 * f" -v t="$t1" -v f="${floor_of[$one]}"
check "1M peak memory at most 100 MiB: $(awk -v k="$p1" 'BEGIN { printf "%.1f", k / 1024 }') MiB" \
  "k <= 100 * 1024" -v k="$p1"
for key in "${one}default" textured; do
  name="1M grid"; [[ "$key" == textured ]] && name="1M textured"
  check "$name at most 3,000 minor page faults and 64 MiB peak: ${faults_of[$key]}, $(awk -v k="${peak_of[$key]}" 'BEGIN { printf "%.1f", k / 1024 }') MiB" \
    "n <= 3000 && k <= 64 * 1024" -v n="${faults_of[$key]}" -v k="${peak_of[$key]}"
done
for t in "${sizes[@]}"; do
  check "$((t / 1000000))M with -b at most 1.3 x without: $(ratio "${time_of[${t}-b]}" "${time_of[${t}default]}") x" \
    "b <= 1.3 * d" -v b="${time_of[${t}-b]}" -v d="${time_of[${t}default]}"
done
check "1M with -p at most 2 x without: $(ratio "${time_of[${one}-p]}" "$t1") x (processor time $(ratio "${cpu_of[${one}-p]}" "${cpu_of[${one}default]}") x)" \
  "p <= 2 * d" -v p="${time_of[${one}-p]}" -v d="$t1"
check "10M time at most 10.5 x 1M: $(ratio "$t10" "$t1") x" "a <= 10.5 * b" -v a="$t10" -v b="$t1"
# The kernel's writing of a gigabyte and more into the page cache grows faster
# than the output on a busy machine (cp's time shows it too), so the user part
# of the processor time is checked as well: it is the program's own work.
check "10M user time at most 10.5 x 1M: $(ratio "${user_of[${ten}default]}" "${user_of[${one}default]}") x" \
  "a <= 10.5 * b" -v a="${user_of[${ten}default]}" -v b="${user_of[${one}default]}"
check "10M peak memory at most 10.5 x 1M: $(ratio "$p10" "$p1") x" "a <= 10.5 * b" -v a="$p10" -v b="$p1"
check "10M time with -b at most 10.5 x 1M: $(ratio "${time_of[${ten}-b]}" "$t1b") x" \
  "a <= 10.5 * b" -v a="${time_of[${ten}-b]}" -v b="$t1b"

# Lit normals on a smoothed grid: every point smooths, none splits.
lwo="$work/smooth-$one.lwo"
"$build/tools/quillmesh_samplegen" grid "$one" "$lwo" 89
"$quillmesh" "$lwo" -o "$work/smooth-$one-l.c" -l > /dev/null
sums["smooth-$one-l.c"]=$(sha256sum "$work/smooth-$one-l.c" | cut -d' ' -f1)
for ((i = 0; i < repeats; i++)); do
  order=(default -l); ((i % 2)) && order=(-l default)
  for mode in "${order[@]}"; do
    flag=(); [[ "$mode" == -l ]] && flag=(-l)
    key="smooth$mode"
    read -r seconds kib cpu _ < <(run_once "$work/out.c" "$quillmesh" "$lwo" -o "$work/out.c" "${flag[@]}")
    time_of[$key]=$(least "${time_of[$key]:-}" "$seconds")
    cpu_of[$key]=$(least "${cpu_of[$key]:-}" "$cpu")
  done
done
rm -f "$lwo" "$work/smooth-$one".* "$work/out.c"
check "1M smoothed with -l at most 1.2 x without: $(ratio "${time_of[smooth-l]}" "${time_of[smoothdefault]}") x (processor time $(ratio "${cpu_of[smooth-l]}" "${cpu_of[smoothdefault]}") x: ${cpu_of[smooth-l]} s, ${cpu_of[smoothdefault]} s)" \
  "l <= 1.2 * d" -v l="${time_of[smooth-l]}" -v d="${time_of[smoothdefault]}"

# Two small grids, and the bundled samples as they are and tiled.
for t in "${small_sizes[@]}"; do
  "$build/tools/quillmesh_samplegen" grid "$t" "$work/grid-$t.lwo"
  "$quillmesh" "$work/grid-$t.lwo" -o "$work/grid-$t.c" > /dev/null
  sums["grid-$t.c"]=$(sha256sum "$work/grid-$t.c" | cut -d' ' -f1)
  rm -f "$work/grid-$t".*
done
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
