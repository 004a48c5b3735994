#!/bin/bash
# A night's run through the real program under Xvfb with openbox: TASKS tiny files (0.3 s of AC-3 in
# RealMedia, made with the ffmpeg tool) added as a folder, FAILING of them spoilt after they were added
# (and CUT more cut short from the firstrun.rm sample), then converted. Measures: boxes opened while the
# progress window showed, the seconds from the last MP3 written to the end report, and the slowest
# answer to _NET_WM_PING during the run. With SHOTS, takes screen pictures of the end report there.
#   bench/endreport.sh [TASKS=10000] [FAILING=500] [CUT=0] [SHOTS]     (from the repository root, built)
set -u
. bench/lib.sh
TASKS=${1:-10000} FAILING=${2:-500} CUT=${3:-0} SHOTS=${4:-}
BIN=${TOLVANE_BIN:-$PWD/build/bin}
SAMPLES=$(samples_dir)
work=$(mktemp -d /tmp/tolvane-endreport.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/config/Zarnok" "$work/data" "$work/runtime" "$work/in" "$work/out"
chmod 700 "$work/runtime"

ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=0.3 -ac 1 -c:a ac3 -b:a 64k \
  -metadata title=Tiny "$work/tiny.rm" || exit 1
for i in $(seq -w 1 "$TASKS"); do cp "$work/tiny.rm" "$work/in/Evening programme $i.rm"; done
if [ "$CUT" -gt 0 ]; then
  # Ten rounds of the sample as one recording, then only its first tenth or so: a broken download.
  ffmpeg -loglevel error -nostdin -stream_loop 9 -i "$SAMPLES/firstrun.rm" -vn -ac 1 -c:a ac3 -b:a 64k \
    "$work/whole.rm" || exit 1
  size=$(stat -c %s "$work/whole.rm")
  for i in $(seq 1 "$CUT"); do head -c $((size / 10 + i * 20000)) "$work/whole.rm" >"$work/in/Cut recording $i.rm"; done
fi
printf '[General]\ntips=10000\nOutputFileDir=%s/\nParallelTasks=2\n' "$work/out" >"$work/config/Zarnok/Tolvane.ini"

export DISPLAY=:$((90 + RANDOM % 100))
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
openbox >/dev/null 2>&1 &
sleep 1
HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime \
  "$BIN/tolvane" "$work/in" >"$work/program.log" 2>&1 &

find_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
wait_window() {  # title pattern, seconds
  local w=""
  for _ in $(seq 1 $((${2:-60} * 10))); do w=$(find_window "$1") && [ -n "$w" ] && break; sleep 0.1; done
  echo "$w"
}
keys() { xdotool windowactivate --sync "$1" 2>/dev/null; sleep 0.2; shift; xdotool key --delay 150 "$@"; }

MSG='^   Message \.\.\.$'
main=$(wait_window '^Tolvane   \(Zarnok Software\)$' 60)
[ -n "$main" ] || { echo "the main window did not appear"; exit 1; }
editor=$(wait_window '^Settings \.\.\.$' 600)
keys "$editor" alt+n alt+n alt+o
box=$(wait_window "$MSG" 60) && keys "$box" alt+y  # the same settings for the others
# The add ends with a summary of what was left out, or with nothing: it is over once the program idles.
pid=$(pgrep -n -x tolvane)
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
idle=0
while [ $idle -lt 3 ]; do
  box=$(find_window "$MSG"); [ -n "$box" ] && keys "$box" Return
  before=$(ticks); sleep 1
  [ $(($(ticks) - before)) -lt 5 ] && idle=$((idle + 1)) || idle=0
done
sleep 2
# Spoilt after they were added: every (TASKS / FAILING)th file cannot be converted.
step=$((FAILING > 0 ? TASKS / FAILING : TASKS + 1))
n=0
for f in "$work/in"/Evening*; do
  n=$((n + 1)); [ $((n % step)) -eq 0 ] && head -c 4096 /dev/zero | tr '\0' Z >"$f"
done

keys "$main" alt+s
progress=$(wait_window '^Conversion Progress$' 60)
[ -n "$progress" ] || { echo "the progress window did not appear"; exit 1; }
start=$(date +%s.%N)
"$BIN/tolvane-test-ping" "$main" 100000000 100 >"$work/pings.txt" 2>/dev/null &
pinger=$!
boxes=0 report=""
while :; do
  box=$(find_window "$MSG")
  if [ -n "$box" ]; then
    report_at=$(date +%s.%N)
    # A box while tasks still convert is one too many: the end report comes once the last MP3 is written.
    sleep 1
    boxes=$(($(xdotool search --onlyvisible --name "$MSG" | wc -l)))
    report=$box
    break
  fi
  sleep 0.05
done
kill $pinger 2>/dev/null
last=$(find "$work/out" -name '*.mp3' -printf '%T@\n' | sort -g | tail -1)
converted=$(find "$work/out" -name '*.mp3' | wc -l)
echo "tasks $TASKS, spoilt $FAILING, cut $CUT; mp3 files written: $converted"
echo "run: $(awk -v a="$start" -v b="$report_at" 'BEGIN{printf "%.1f", b-a}') s to the end report"
echo "end report open $(awk -v a="$last" -v b="$report_at" 'BEGIN{printf "%.2f", b-a}') s after the last MP3 was written"
echo "message windows open at the end: $boxes (1: the report alone)"
echo "pings answered: $(wc -l <"$work/pings.txt"), slowest $(sort -g "$work/pings.txt" | tail -1) ms, median $(median <"$work/pings.txt") ms"

if [ -n "$SHOTS" ]; then
  mkdir -p "$SHOTS"
  import -window root "$SHOTS/end-report.png"
  # From the default button (Yes) to the list, then to its end with the keyboard alone.
  keys "$report" Tab Tab ctrl+End
  import -window root "$SHOTS/end-report-scrolled.png"
fi
keys "$report" alt+n
sleep 1
