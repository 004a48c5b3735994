#!/usr/bin/env bash
# One long file on every core: times tolvane-bench with one encoder (--cores 1), with the file in
# segments on two cores (--cores 2) and the ffmpeg command of compare.sh, side by side on a 20-minute
# stereo AC-3 RealMedia file of real music (firstrun.rm looped), and measures peak memory on a
# 2-hour file with 1, 2 and 4 cores of budget (4 on a 2-core machine: 4 encoders' memory).
# Usage: bench/segments.sh [runs] [--no-long]   (BUILD_DIR selects the build folder, default build-bench;
# BEFORE_BENCH=path/to/an/older/tolvane-bench also times that binary in each run, one encoder and
# segments, the two binaries' pairs taking turns, so that both ratios come from the same minutes)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
runs="${1:-3}"
long=1
[ "${2:-}" = "--no-long" ] && long=0
build="${BUILD_DIR:-build-bench}"
samples="$(samples_dir "${TOLVANE_SAMPLES_DIR:-}")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tolvane-bench >/dev/null
bench="$build/bin/tolvane-bench"

make_music() {  # seconds, output: the recording's music looped, as stereo AC-3 in RealMedia
  ffmpeg -hide_banner -loglevel error -nostdin -y -stream_loop -1 -i "$samples/firstrun.rm" -t "$1" \
    -ac 2 -c:a ac3 -b:a 192k -metadata title="Looped music $1 s" -f rm "$2"
}
echo "load before: $(uptime)"
echo "(autogroup scheduling: $(cat /proc/sys/kernel/sched_autogroup_enabled 2>/dev/null); with it on, a busy session elsewhere leaves this one a share of the cores)"
echo "Making the 20-minute file ..."
make_music 1200 "$work/20min.rm"

# Runs a command and prints, after its output, the CPU seconds of each of its threads that worked
# (sampled from /proc while it runs): on a shared machine the wall time shows the cores the session
# was given, the threads' CPU what two free cores would do.
threads() {
  python3 - "$@" <<'PY'
import os, subprocess, sys, time
p = subprocess.Popen(sys.argv[1:], stdout=subprocess.PIPE, text=True)
hz, seen = os.sysconf('SC_CLK_TCK'), {}
while p.poll() is None:
    try:
        for tid in os.listdir(f'/proc/{p.pid}/task'):
            try:
                s = open(f'/proc/{p.pid}/task/{tid}/stat').read()
                f = s[s.rindex(')') + 2:].split()
                seen[tid] = (int(f[11]) + int(f[12])) / hz
            except OSError:
                pass
    except OSError:
        pass
    time.sleep(0.2)
print(p.stdout.read(), end='')
print('thread_cpu_seconds', ' '.join(f'{c:.2f}' for c in sorted(seen.values(), reverse=True) if c > 0.05))
PY
}
field() { awk -v k="$1" '$1 == k {print $2}' "$2"; }
frames() { ffprobe -v error -count_packets -select_streams a -show_entries stream=nb_read_packets -of csv=p=0 "$1"; }

before="${BEFORE_BENCH:-}"
pair_ratio() { printf '%.3f' "$(echo "$(field wall_seconds "$1") / $(field wall_seconds "$2")" | bc -l)"; }
before_pair() {  # the older binary: one encoder, then segments; keeps the ratio of the two
  "$before" --cores 1 "$work/20min.rm" "$work/before-one.mp3" >"$work/before-one.txt"
  "$before" --cores 2 "$work/20min.rm" "$work/before-seg.mp3" >"$work/before-seg.txt"
  cmp -s "$work/before-seg.mp3" "$work/seg.mp3" || echo "(the older binary's segmented MP3 differs)" >&2
  before_r+=("$(pair_ratio "$work/before-seg.txt" "$work/before-one.txt")")
}
one_w=() one_c=() seg_w=() seg_c=() ff_w=() now_r=() before_r=()
for i in $(seq "$runs"); do
  # In turn, so that a busy moment of the machine hits all three alike; the older binary first every
  # second run.
  [ -n "$before" ] && [ $((i % 2)) -eq 0 ] && before_pair
  "$bench" --cores 1 "$work/20min.rm" "$work/one.mp3" >"$work/one.txt"
  threads "$bench" --cores 2 "$work/20min.rm" "$work/seg.mp3" >"$work/seg.txt"
  now_r+=("$(pair_ratio "$work/seg.txt" "$work/one.txt")")
  [ -n "$before" ] && [ $((i % 2)) -eq 1 ] && before_pair
  t0=$(now)
  ffmpeg -hide_banner -loglevel error -nostdin -y -i "$work/20min.rm" \
    -c:a libmp3lame -b:a 192k -compression_level 2 -ar 44100 -joint_stereo 1 "$work/ffmpeg.mp3"
  t1=$(now)
  one_w+=("$(field wall_seconds "$work/one.txt")") one_c+=("$(field cpu_seconds "$work/one.txt")")
  seg_w+=("$(field wall_seconds "$work/seg.txt")") seg_c+=("$(field cpu_seconds "$work/seg.txt")")
  ff_w+=("$(echo "$t1 - $t0" | bc -l)")
  printf 'run %d: one encoder %.2f s (CPU %.2f s), segments on 2 cores %.2f s (CPU %.2f s; threads %s), ffmpeg %.2f s\n' \
    "$i" "${one_w[-1]}" "${one_c[-1]}" "${seg_w[-1]}" "${seg_c[-1]}" \
    "$(awk '$1 == "thread_cpu_seconds" {$1 = ""; print substr($0, 2)}' "$work/seg.txt")" "${ff_w[-1]}"
done
ow=$(printf '%s\n' "${one_w[@]}" | median) oc=$(printf '%s\n' "${one_c[@]}" | median)
sw=$(printf '%s\n' "${seg_w[@]}" | median) sc=$(printf '%s\n' "${seg_c[@]}" | median)
fw=$(printf '%s\n' "${ff_w[@]}" | median)
one_size=$(stat -c %s "$work/one.mp3") seg_size=$(stat -c %s "$work/seg.mp3")
one_frames=$(frames "$work/one.mp3") seg_frames=$(frames "$work/seg.mp3")
errors=$(ffmpeg -nostdin -v error -i "$work/seg.mp3" -f null - 2>&1 | wc -l)
echo
printf 'median wall: one encoder %.2f s, segments %.2f s, ffmpeg %.2f s\n' "$ow" "$sw" "$fw"
printf 'segments / one encoder: wall %.3f (bar 0.6), CPU %.3f (bar 1.1)\n' \
  "$(echo "$sw / $ow" | bc -l)" "$(echo "$sc / $oc" | bc -l)"
printf 'segments / ffmpeg: wall %.3f (bar 0.6)\n' "$(echo "$sw / $fw" | bc -l)"
printf 'segments / one encoder within each run: %s, median %.3f\n' "${now_r[*]}" "$(printf '%s\n' "${now_r[@]}" | median)"
if [ -n "$before" ]; then
  printf 'the older binary, within each run: %s, median %.3f\n' "${before_r[*]}" "$(printf '%s\n' "${before_r[@]}" | median)"
fi
printf 'MP3: one encoder %d bytes %d frames, segments %d bytes %d frames (size %+.3f %%), decoder errors %d\n' \
  "$one_size" "$one_frames" "$seg_size" "$seg_frames" "$(echo "($seg_size - $one_size) * 100 / $one_size" | bc -l)" "$errors"
printf 'peak memory, 20 minutes: one encoder %s MB, segments %s MB\n' \
  "$(field peak_memory_mb "$work/one.txt")" "$(field peak_memory_mb "$work/seg.txt")"

if [ "$long" = 1 ]; then
  echo "Making the 2-hour file ..."
  make_music 7200 "$work/2h.rm"
  for cores in 1 2 4; do
    "$bench" --cores "$cores" "$work/2h.rm" "$work/2h.mp3" >"$work/2h-$cores.txt"
    printf 'peak memory, 2 hours, --cores %d: %s MB (wall %s s)\n' "$cores" \
      "$(field peak_memory_mb "$work/2h-$cores.txt")" "$(field wall_seconds "$work/2h-$cores.txt")"
  done
fi
echo "load after: $(uptime)"
