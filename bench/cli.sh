#!/usr/bin/env bash
# tolvane-convert --jobs 2 on 40 music files against xargs -P2 running the ffmpeg command of
# bench/compare.sh on each of the same files, side by side in one run: the two take turns, N rounds,
# each round's wall and CPU seconds and the load before it are printed, then the medians and the
# ratio of the wall times (bar: at most 1.0). The music is the cook recording of the shared samples
# (../shared/samples/firstrun.rm, 18.2 s), looped to 30, 50, 70 or 90 s from different starting
# points and stored as stereo AC-3 at 192 kbps in RealMedia: 40 minutes of audio in all.
# tolvane-convert runs with the built-in settings (192 kbps, 44.1 kHz, joint stereo), those of the
# ffmpeg command.
# Usage: bench/cli.sh [runs]   (BUILD_DIR selects the build folder, default build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
bench_start "$@"

cmake --build "$build" --target tolvane-convert >/dev/null
cli="$(pwd)/$build/bin/tolvane-convert"
export XDG_CONFIG_HOME="$work/config"  # no saved settings: the built-in ones

echo "Making the 40 files ..."
mkdir -p "$work/in"
for i in $(seq 1 40); do
  ffmpeg -hide_banner -loglevel error -nostdin -y -stream_loop 12 -i "$sample" -ss $(((i * 3) % 16)) \
    -t $((30 + (i % 4) * 20)) -ac 2 -ar 44100 -c:a ac3 -b:a 192k -metadata title="Music $i" \
    -metadata author="Tolvane bench" -f rm "$work/in/music$i.rm" 2>/dev/null
done

run_tolvane() {
  rm -rf "$work/tolvane" && mkdir "$work/tolvane"
  "$cli" --jobs 2 --quiet -o "$work/tolvane" "$work/in"
}
run_ffmpeg() {
  rm -rf "$work/ffmpeg" && mkdir "$work/ffmpeg"
  (cd "$work/in" && ls) | sed 's/\.rm$//' | xargs -P2 -I{} \
    ffmpeg -hide_banner -loglevel error -nostdin -y -i "$work/in/{}.rm" \
    -c:a libmp3lame -b:a 192k -compression_level 2 -ar 44100 -joint_stereo 1 "$work/ffmpeg/{}.mp3"
}

echo "uptime before: $(uptime)"
take_turns "tolvane ffmpeg" "ffmpeg tolvane" cpu
echo "uptime after: $(uptime)"

for who in tolvane ffmpeg; do
  count=$(find "$work/$who" -name '*.mp3' | wc -l)
  [ "$count" -eq 40 ] || { echo "$who wrote $count MP3 files, not 40"; exit 1; }
done
turns_ratio "tolvane-convert --jobs 2 against xargs -P2 ffmpeg" tolvane ffmpeg 1.0 && echo "PASS" || {
  echo "FAIL"
  exit 1
}
