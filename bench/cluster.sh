#!/usr/bin/env bash
# A tree of 1,000 short real files (20 folders of 50, 1 or 2 s each) through the README's GNU parallel
# recipe over a shared folder, with two host names (node1 and node2: this machine's own sshd, started
# by tests/cluster/daemons.sh), against xargs -P2 running the ffmpeg command of bench/compare.sh on
# each file. The two take turns, N rounds; each round's wall time and the load before it are printed,
# then the medians and their ratio (bar: at most 1.0). Then one long file through
# tolvane-convert --cores 1 --jobs 1 and --cores 2 under /usr/bin/time: CPU (user + sys) over wall
# (bar for --cores 1: at most 1.0, one core's time).
# The recipe runs as the README has it but for its host list (node1,node2: the two host names; ':'
# would add a third process on two cores) and its --jobs 4 (--jobs 1 --cores 1: one core a host, as
# xargs -P2 gives ffmpeg). Needs root (sshd), GNU parallel and the ffmpeg tool.
# Usage: bench/cluster.sh [runs]   (BUILD_DIR selects the build folder, default build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
bench_start "$@"
daemons="$work/daemons"
trap 'tests/cluster/daemons.sh stop "$daemons" >/dev/null 2>&1; rm -rf "$work"' EXIT

cmake --build "$build" --target tolvane-convert >/dev/null
bindir="$(pwd)/$build/bin"
cli="$bindir/tolvane-convert"
# munged and the ssh sessions run as other users: the work folder must let them in.
chmod 755 "$work"
mkdir -p "$daemons"
tests/cluster/daemons.sh start "$daemons" "$bindir" $$ >"$work/daemons.log" ||
  { echo "the daemons did not start: $(cat "$work/daemons.log")"; exit 1; }
set -a && source "$daemons/env" && set +a
export XDG_CONFIG_HOME="$work/config"  # no saved settings: the built-in ones, as ffmpeg's

echo "Making the 1,000 files ..."
for i in $(seq 0 9); do
  ffmpeg -hide_banner -loglevel error -nostdin -y -i "$sample" -ss $((i + 1)) -t $((1 + i % 2)) \
    -ac 2 -ar 44100 -c:a ac3 -b:a 192k -f rm "$work/base$i.rm"
done
for d in $(seq -w 1 20); do
  mkdir -p "$work/archive/Show$d"
  for f in $(seq -w 1 50); do cp "$work/base$((10#$f % 10)).rm" "$work/archive/Show$d/t$f.rm"; done
done
ffmpeg -hide_banner -loglevel error -nostdin -y -stream_loop 4 -i "$sample" -t 90 -ac 2 -ar 44100 \
  -c:a ac3 -b:a 192k -f rm "$work/long.rm"

# The README's block, as the cluster test reads it, with the host list and the files at once above.
recipe=$(awk '/<!-- recipe: parallel-shared -->/{on=1; next} /<!-- \/recipe -->/{on=0} on' README.md |
  sed -e 's/^    //' -e 's/--sshlogin :,node1,node2/--sshlogin node1,node2/' -e 's/--jobs 4/--jobs 1 --cores 1/')
echo "$recipe"
export archive="$work/archive" mp3="$work/mp3"

run_tolvane() {
  rm -rf "$mp3" ~/tolvane-jobs.log && mkdir "$mp3"
  bash -c "$recipe"
}
run_ffmpeg() {
  rm -rf "$work/ffmpeg" && mkdir "$work/ffmpeg"
  (cd "$archive" && find . -name '*.rm') | sed 's/\.rm$//' | xargs -P2 -I{} sh -c '
    mkdir -p "$(dirname "$2/$1")" &&
    ffmpeg -hide_banner -loglevel error -nostdin -y -i "$3/$1.rm" \
      -c:a libmp3lame -b:a 192k -compression_level 2 -ar 44100 -joint_stereo 1 "$2/$1.mp3"' \
    sh {} "$work/ffmpeg" "$archive"
}

echo "uptime before: $(uptime)"
take_turns "tolvane ffmpeg" "ffmpeg tolvane"
echo "uptime after: $(uptime)"
for dir in "$mp3" "$work/ffmpeg"; do
  count=$(find "$dir" -name '*.mp3' | wc -l)
  [ "$count" -eq 1000 ] || { echo "$dir holds $count MP3 files, not 1000"; exit 1; }
done
fast=0
turns_ratio "the parallel recipe against xargs -P2 ffmpeg" tolvane ffmpeg 1.0 && fast=1

for cores in 1 2; do
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$cli" --quiet --cores "$cores" --jobs 1 -o "$work/long$cores" \
    "$work/long.rm"
  read -r wall user sys < "$work/time"
  printf -- '--cores %d --jobs 1, one 90 s file: wall %.2f s, user %.2f s, sys %.2f s, CPU/wall %.2f\n' \
    "$cores" "$wall" "$user" "$sys" "$(echo "($user + $sys) / $wall" | bc -l)"
  [ "$cores" -eq 1 ] && one=$(echo "($user + $sys) <= $wall * 1.02" | bc -l)
done
((fast)) && ((one)) && echo "PASS" || { echo "FAIL"; exit 1; }
