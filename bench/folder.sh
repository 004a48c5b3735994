#!/usr/bin/env bash
# A dropped folder of 10,000 files: makes a tree of hard links to one small RealMedia file (100 folders
# of 100 files, plus one file that cannot be read, so the adding ends with its summary), and runs
# tolvane-folder-bench on it on a virtual X display: the adding time, the main window's answer times to
# the X server's pings meanwhile and during the run that follows, and resident memory.
# Usage: bench/folder.sh [files]   (BUILD_DIR selects the build folder, default build; PER_FOLDER the
# files in each folder, default 100: PER_FOLDER=10000 puts them all in one folder; ONE_BY_ONE=1 drops
# the files themselves instead of their folder, which reads them one at a time as before)
set -euo pipefail
cd "$(dirname "$0")/.."
files="${1:-10000}"
per="${PER_FOLDER:-100}"
build="${BUILD_DIR:-build}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --build "$build" --target tolvane-folder-bench >/dev/null
bench="$(pwd)/$build/bin/tolvane-folder-bench"

echo "Making the tree of $files files, $per a folder ..."
tree="$work/Archive"
mkdir -p "$tree"
cp tests/data/ra144.rm "$work/show.rm"
for ((i = 0; i < files; i++)); do
  folder="$tree/Year $((i / per + 1))"
  [ -d "$folder" ] || mkdir "$folder"
  ln "$work/show.rm" "$folder/Show $((i % per + 1)).rm"
done
echo "not a RealMedia file" > "$tree/damaged.rm"

# The output folder chosen before, as a user who keeps the tree would have it.
mkdir -p "$work/config/Zarnok" "$work/out"
printf '[General]\nOutputFileDir=%s/out/\ntips=10000\n' "$work" > "$work/config/Zarnok/Tolvane.ini"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
dropped=("$tree")
if [ -n "${ONE_BY_ONE:-}" ]; then
  mapfile -d '' dropped < <(find "$tree" -name '*.rm' -print0 | sort -zV)
fi
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work" \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$bench" "${dropped[@]}"
