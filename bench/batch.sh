#!/usr/bin/env bash
# Converts a batch of four three-minute music files through the real progress window at
# ParallelTasks 2 and 1, alternating, and prints each run's wall time and peak memory, the medians,
# their ratios, and whether every MP3 is the same at both settings (length, frame headers, tags,
# decoded audio). The music is the cook recording of the shared samples, looped to three minutes
# from four different starting points and stored as AC-3 in RealMedia.
# Usage: bench/batch.sh [runs]   (BUILD_DIR selects the build folder, default build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
bench_start "$@"

cmake --build "$build" --target tolvane-batch-bench >/dev/null
bench="$build/bin/tolvane-batch-bench"

echo "Making the batch ..."
inputs=()
for i in 1 2 3 4; do
  ffmpeg -hide_banner -loglevel error -nostdin -y -stream_loop 12 -i "$sample" -ss $((i * 4)) -t 180 \
    -ac 2 -ar 44100 -c:a ac3 -b:a 192k -metadata title="Batch music $i" -metadata author="Tolvane bench" \
    -f rm "$work/music$i.rm"
  inputs+=("$work/music$i.rm")
done

value() { awk -v k="$1" '$1 == k {print $2}' "$2"; }

for setting in 1 2; do : > "$work/wall$setting"; : > "$work/memory$setting"; done
for run in $(seq "$runs"); do
  for setting in 2 1; do
    out="$work/out$setting"
    rm -rf "$out" && mkdir -p "$out"
    load=$(cut -d' ' -f1 /proc/loadavg)
    "$bench" "$setting" "$out" "${inputs[@]}" > "$work/result" 2> "$work/errors"
    wall=$(value wall_seconds "$work/result")
    memory=$(value peak_memory_mb "$work/result")
    echo "run $run  ParallelTasks $setting: wall $wall s, cpu $(value cpu_seconds "$work/result") s," \
      "peak memory $memory MB, load before $load"
    echo "$wall" >> "$work/wall$setting"
    echo "$memory" >> "$work/memory$setting"
  done
done

wall1=$(median < "$work/wall1") wall2=$(median < "$work/wall2")
memory1=$(median < "$work/memory1") memory2=$(median < "$work/memory2")
echo "median wall: 1 -> $wall1 s, 2 -> $wall2 s, ratio $(echo "$wall2 / $wall1" | bc -l | cut -c1-5)"
echo "median peak memory: 1 -> $memory1 MB, 2 -> $memory2 MB, ratio $(echo "$memory2 / $memory1" | bc -l | cut -c1-5)"

# The MP3s of the last run at each setting: the same length, frame headers, tags and decoded audio.
same=yes
for i in 1 2 3 4; do
  a="$work/out1/music$i.mp3" b="$work/out2/music$i.mp3"
  for what in size headers tags audio; do
    case $what in
      size) x=$(stat -c %s "$a"); y=$(stat -c %s "$b") ;;
      headers) x=$(ffprobe -v error -show_packets -show_entries packet=pts,duration,size -of csv "$a" | md5sum)
               y=$(ffprobe -v error -show_packets -show_entries packet=pts,duration,size -of csv "$b" | md5sum) ;;
      tags) x=$(ffprobe -v error -show_entries format_tags -of csv "$a"); y=$(ffprobe -v error -show_entries format_tags -of csv "$b") ;;
      audio) x=$(ffmpeg -v error -i "$a" -f s16le - | md5sum); y=$(ffmpeg -v error -i "$b" -f s16le - | md5sum) ;;
    esac
    if [ "$x" != "$y" ]; then same=no; echo "music$i.mp3 differs in $what"; fi
  done
  cmp -s "$a" "$b" && echo "music$i.mp3: byte for byte the same" || echo "music$i.mp3: bytes differ"
done
echo "every MP3 the same at both settings: $same"
