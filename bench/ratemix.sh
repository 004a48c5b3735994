#!/usr/bin/env bash
# tolvane-convert --jobs 2 on a mix of real recordings at every source rate and channel count of our
# test data, against xargs -P2 running the ffmpeg command (-ar 44100 -ac 2, 192 kbps, joint stereo)
# on each of the same files, side by side in one run; then one 11 kHz mono file on one core
# (taskset -c 0) for each. The two take turns, N rounds; each round's wall and CPU seconds and the load
# before it are printed, then the medians and the ratios of the wall times (bars: the mix at most 0.9,
# the one file at most 1.0).
# The mix, 40 files, all copies: the cook recording of the shared samples (firstrun.rm, 44.1 kHz mono,
# 18.2 s) as it is, and the same music looped to 30-90 s from different starting points and written
# by the ffmpeg tool as AC-3 at 32, 44.1 and 48 kHz, AAC at 8, 11.025, 16, 22.05, 32, 44.1 and 48 kHz,
# mono and stereo, and RealAudio 14.4 (8 kHz mono), in RealMedia (.rm and .ra). The one file: the
# same music, 120 s of 11.025 kHz mono AAC.
# Usage: bench/ratemix.sh [runs]   (BUILD_DIR selects the build folder, default build; MIX_SECONDS=N
# makes every file N seconds long, for a quick check that the script works)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
bench_start "$@"

cmake --build "$build" --target tolvane-convert >/dev/null
cli="$(pwd)/$build/bin/tolvane-convert"
export XDG_CONFIG_HOME="$work/config" # no saved settings: the built-in ones

# codec:rate:channels:bit rate:extension of every kind of file the mix holds.
kinds=(ac3:32000:1:96k:rm ac3:32000:2:192k:rm ac3:44100:1:96k:ra ac3:44100:2:192k:rm ac3:48000:1:96k:rm
  ac3:48000:2:192k:ra aac:8000:1:16k:ra aac:8000:2:24k:rm aac:11025:1:24k:rm aac:11025:2:32k:ra
  aac:16000:1:32k:rm aac:16000:2:48k:rm aac:22050:1:32k:ra aac:22050:2:64k:rm aac:32000:1:48k:rm
  aac:32000:2:64k:ra aac:44100:1:64k:rm aac:44100:2:96k:rm aac:48000:2:96k:ra real_144:8000:1:8k:ra)
echo "Making the mix ..."
mkdir -p "$work/in"
for i in $(seq 1 38); do
  IFS=: read -r codec rate channels bitrate ext <<<"${kinds[$(((i - 1) % ${#kinds[@]}))]}"
  ffmpeg -hide_banner -loglevel error -nostdin -y -stream_loop 12 -i "$sample" -ss $(((i * 3) % 16)) \
    -t "${MIX_SECONDS:-$((30 + (i % 4) * 20))}" -ac "$channels" -ar "$rate" -c:a "$codec" -b:a "$bitrate" \
    -metadata title="Music $i" -metadata author="Tolvane bench" -f rm "$work/in/music$i.$ext" 2>/dev/null
done
for i in 39 40; do cp "$sample" "$work/in/music$i.rm"; done
mkdir -p "$work/one"
ffmpeg -hide_banner -loglevel error -nostdin -y -stream_loop 12 -i "$sample" -t "${MIX_SECONDS:-120}" \
  -ac 1 -ar 11025 -c:a aac -b:a 24k -metadata title="Voice" -f rm "$work/one/voice.ra" 2>/dev/null

ffmpeg_mp3() { # input, output
  ffmpeg -hide_banner -loglevel error -nostdin -y -i "$1" -c:a libmp3lame -b:a 192k -compression_level 2 \
    -ar 44100 -ac 2 -joint_stereo 1 "$2"
}
export -f ffmpeg_mp3

run_tolvane_mix() {
  rm -rf "$work/tolvane" && mkdir "$work/tolvane"
  "$cli" --jobs 2 --quiet -o "$work/tolvane" "$work/in"
}
run_ffmpeg_mix() {
  rm -rf "$work/ffmpeg" && mkdir "$work/ffmpeg"
  (cd "$work/in" && ls) | xargs -P2 -I{} bash -c 'ffmpeg_mp3 "$0/in/$1" "$0/ffmpeg/${1%.*}.mp3"' "$work" {}
}
run_tolvane_one() {
  rm -rf "$work/tolvane1" && mkdir "$work/tolvane1"
  taskset -c 0 "$cli" --jobs 1 --quiet -o "$work/tolvane1" "$work/one/voice.ra"
}
run_ffmpeg_one() { taskset -c 0 bash -c 'ffmpeg_mp3 "$0/one/voice.ra" "$0/ffmpeg1.mp3"' "$work"; }

echo "uptime before: $(uptime)"
take_turns "tolvane_mix ffmpeg_mix tolvane_one ffmpeg_one" "ffmpeg_mix tolvane_mix ffmpeg_one tolvane_one" cpu
echo "uptime after: $(uptime)"

for who in tolvane ffmpeg; do
  count=$(find "$work/$who" -name '*.mp3' | wc -l)
  [ "$count" -eq 40 ] || {
    echo "$who wrote $count MP3 files, not 40"
    exit 1
  }
done
ok=1
turns_ratio "the mix at --jobs 2 against xargs -P2" tolvane_mix ffmpeg_mix 0.9 || ok=0
turns_ratio "one 11 kHz mono file on one core" tolvane_one ffmpeg_one 1.0 || ok=0
[ "$ok" = 1 ] && echo "PASS" || {
  echo "FAIL"
  exit 1
}
