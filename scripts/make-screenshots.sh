#!/usr/bin/env bash
# Renews the README's pictures in docs/screenshots/ by driving the real program on a virtual display
# with a small window manager (twm), as a user would: the task editor (page 3, the tag texts), the
# main window with three tasks, and the progress window while a ten-minute file converts.
#   bash scripts/make-screenshots.sh [build-folder]     (default: build; the program is built if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
out=$root/docs/screenshots

# Only this script needs these: a window manager for title bars, xdotool for keys and clicks,
# ImageMagick's import for the pictures, a font with Cyrillic and Japanese letters for the test titles.
packages=(xvfb x11-utils xfonts-base twm xdotool imagemagick ffmpeg fonts-wqy-microhei)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ ! -x "$build/bin/tolvane" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target tolvane
program=$(cd "$build/bin" && pwd)/tolvane

work=$(mktemp -d -t tolvane-demo.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own: the first free number from TOLVANE_XVFB_FIRST_DISPLAY (default 40).
first=${TOLVANE_XVFB_FIRST_DISPLAY:-40}
display=
for number in $(seq "$first" $((first + 9))); do
  [ -e "/tmp/.X$number-lock" ] && continue
  # -noreset: the server keeps going between the short clients, so none is dropped as it connects.
  Xvfb ":$number" -noreset -screen 0 1280x1024x24 -nolisten tcp -displayfd 1 > "$work/display" 2> /dev/null &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  if [ -s "$work/display" ]; then display=":$number"; break; fi
done
[ -n "$display" ] || { echo "no virtual display could be started" >&2; exit 1; }
export DISPLAY=$display

cat > "$work/twmrc" <<'EOF'
NoGrabServer
DecorateTransients
RandomPlacement
UsePPosition "on"
BorderWidth 1
TitleFont "-misc-fixed-bold-r-normal--13-*-*-*-*-*-iso8859-1"
ResizeFont "fixed"
MenuFont "fixed"
IconFont "fixed"
IconManagerFont "fixed"
Color {
  DefaultBackground "#3a6ea5"
  DefaultForeground "white"
  TitleBackground "#3a6ea5"
  TitleForeground "white"
  BorderColor "#2b5279"
}
EOF
twm -f "$work/twmrc" > /dev/null 2>&1 &
pids+=($!)

# Waits (at most $2 seconds, default 20) for a shown window whose whole title matches; prints its id.
wait_window() {
  local id
  for _ in $(seq $((${2:-20} * 10))); do
    id=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | head -1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "window \"$1\" did not appear" >&2
  return 1
}
wait_gone() {
  for _ in $(seq 200); do
    xdotool search --onlyvisible --name "$1" > /dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "window \"$1\" did not close" >&2
  return 1
}
# Presses keys in a window; the pointer rests on it, since twm gives the keyboard to the window under it.
keys() {
  local window=$1
  shift
  for key in "$@"; do
    xdotool mousemove --window "$window" 40 40
    xdotool windowfocus --sync "$window"
    xdotool key "$key"
    sleep 0.3  # a button's Alt shortcut clicks only after its pressed look (100 ms)
  done
}
# Saves the window with its title bar (the window manager's frame, its parent) as a PNG.
shoot() {
  local frame
  frame=$(xwininfo -id "$1" -tree | awk '/Parent window id/ {print $4}')
  xdotool mousemove 1270 1010  # no pointer in the picture
  sleep 0.5
  import -window "$frame" "$2"
  echo "wrote $2"
}

editor='^Settings \.\.\.$'
message='^   Message \.\.\.$'
mainwindow='^Tolvane   \(Zarnok Software\)$'
progress='^Conversion Progress$'

# Three RealMedia files: two of the test files (one with Cyrillic and Japanese tags) and a ten-minute
# AC-3 recording, so the run lasts long enough to be seen.
mkdir -p "$work/config/Zarnok" "$work/data" "$work/Music" "$work/runtime"
chmod 700 "$work/runtime"
cp tests/data/ac3-stereo.rm "$work/Music/cafe.rm"
cp tests/data/aac.rm "$work/Music/tone-660.rm"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=600" -f lavfi -i "sine=frequency=660:duration=600" \
  -filter_complex "[0][1]amerge=inputs=2,volume=0.3" -c:a ac3 -b:a 128k \
  -metadata title="Evening Concert, Part 1" -metadata author="City Radio Orchestra" \
  -metadata copyright="(c) 2024 City Radio" -metadata comment="Recorded live" "$work/Music/concert.rm"
# No tip of the day: the pictures show the work windows.
printf '[General]\ntips=10000\n' > "$work/config/Zarnok/Tolvane.ini"

cd "$work/Music"
XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime HOME=$work \
  QT_QPA_PLATFORM=xcb "$program" cafe.rm tone-660.rm concert.rm > "$work/program.log" 2>&1 &
pids+=($!)
tolvane_pid=$!
cd "$root"
mkdir -p "$out"

# The editor for the first file, on its tag page; OK, and the same settings for the other two.
window=$(wait_window "$editor")
keys "$window" alt+n alt+n
shoot "$window" "$out/editor.png"
keys "$window" alt+o
keys "$(wait_window "$message")" alt+y
wait_gone "$message"

# The main window with its three tasks, the first selected (its information below the list): a click
# below the rows gives the list the keyboard, End and Home select the last row and then the first.
main=$(wait_window "$mainwindow")
sleep 2  # the other two files are read
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 80)) $((Y + HEIGHT - 200)) click 1
keys "$main" End Home
shoot "$main" "$out/main-window.png"

# The run: the picture when the long file is a quarter done (its MP3 file has grown to 2.5 MB).
keys "$main" alt+s
run=$(wait_window "$progress")
for _ in $(seq 600); do
  size=$(stat -c %s "$work/Music/concert.mp3" 2> /dev/null || echo 0)
  [ "$size" -gt 2500000 ] && break
  sleep 0.1
done
shoot "$run" "$out/progress.png"
keys "$(wait_window "$message" 120)" alt+n
wait_gone "$progress"

kill -TERM "$tolvane_pid"
wait "$tolvane_pid" || true
