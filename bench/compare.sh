#!/usr/bin/env bash
# Times tolvane-bench against the ffmpeg command line on the same 20-minute AC-3 RealMedia file and
# prints the ratio of their wall times; also compares tolvane-bench's peak memory on a 1-minute file.
# tolvane-bench runs with one encoder (--cores 1), as ffmpeg does: segments on every core are timed,
# and their memory bounded, by segments.sh.
# Usage: bench/compare.sh [runs]   (BUILD_DIR selects the build folder, default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
runs="${1:-3}"
build="${BUILD_DIR:-build-bench}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tolvane-bench >/dev/null
bench="$build/bin/tolvane-bench"

make_source() {  # seconds, output: a stereo AC-3 RealMedia file with a different tone on each side
  ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$1" \
    -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=$1" \
    -filter_complex "[0:a][1:a]amerge=inputs=2" -c:a ac3 -b:a 192k \
    -metadata title="Benchmark $1 s" -metadata author="Tolvane" -f rm "$2"
}
echo "Making the test files ..."
make_source 60 "$work/1min.rm"
make_source 1200 "$work/20min.rm"

tolvane_walls=() ffmpeg_walls=()
for i in $(seq "$runs"); do
  # Alternate the two so that a busy moment of the machine hits both alike.
  t0=$(now)
  "$bench" --cores 1 "$work/20min.rm" "$work/tolvane.mp3" >"$work/bench-20.txt"
  t1=$(now)
  ffmpeg -hide_banner -loglevel error -nostdin -y -i "$work/20min.rm" \
    -c:a libmp3lame -b:a 192k -compression_level 2 -ar 44100 -joint_stereo 1 "$work/ffmpeg.mp3"
  t2=$(now)
  tolvane_walls+=("$(echo "$t1 - $t0" | bc -l)")
  ffmpeg_walls+=("$(echo "$t2 - $t1" | bc -l)")
  printf 'run %d: tolvane-bench %.2f s, ffmpeg %.2f s\n' "$i" "${tolvane_walls[-1]}" "${ffmpeg_walls[-1]}"
done
"$bench" --cores 1 "$work/1min.rm" "$work/tolvane-1.mp3" >"$work/bench-1.txt"

tw=$(printf '%s\n' "${tolvane_walls[@]}" | median)
fw=$(printf '%s\n' "${ffmpeg_walls[@]}" | median)
ratio=$(echo "$tw / $fw" | bc -l)
mem1=$(awk '/peak_memory_mb/ {print $2}' "$work/bench-1.txt")
mem20=$(awk '/peak_memory_mb/ {print $2}' "$work/bench-20.txt")
echo
echo "tolvane-bench, last 20-minute run:"
sed 's/^/  /' "$work/bench-20.txt"
printf 'median wall: tolvane-bench %.2f s, ffmpeg %.2f s, ratio %.3f (bar: at most 1.05)\n' "$tw" "$fw" "$ratio"
printf 'peak memory: 1 min %s MB, 20 min %s MB (bars: under 60 MB, within 5 MB)\n' "$mem1" "$mem20"
ok=1
(( $(echo "$ratio <= 1.05" | bc -l) )) || ok=0
(( $(echo "$mem20 < 60 && $mem1 < 60" | bc -l) )) || ok=0
d=$(echo "$mem20 - $mem1" | bc -l); (( $(echo "${d#-} <= 5" | bc -l) )) || ok=0
[ "$ok" = 1 ] && echo "PASS" || { echo "FAIL"; exit 1; }
