#!/usr/bin/env bash
# Starts the program the way the README tells a new user to (bash scripts/run.sh) under Xvfb, with an
# empty settings folder, waits for its main window, and ends it with SIGTERM as a session end would.
# scripts/test.sh runs it after the plain build, so run.sh finds everything built already.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "check-run-command: $*" >&2
  exit 1
}

work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
  if [ -n "$program_pid" ]; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=":$(head -n 1 "$work/display")"

# run.sh ends by exec'ing the program, so this process id becomes the program's.
DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  bash scripts/run.sh >"$work/run.log" 2>&1 &
program_pid=$!

shown=
for _ in $(seq 600); do
  if ! kill -0 "$program_pid" 2>/dev/null; then
    cat "$work/run.log"
    fail "the program ended before its window appeared"
  fi
  if DISPLAY="$display" xwininfo -root -tree 2>/dev/null | grep -q '"Tolvane   ('; then
    shown=yes
    break
  fi
  sleep 0.5
done
[ -n "$shown" ] || { cat "$work/run.log"; fail "no main window appeared"; }
echo "check-run-command: the main window is open"

kill -TERM "$program_pid"
status=0
wait "$program_pid" || status=$?
program_pid=
[ "$status" -eq 0 ] || { cat "$work/run.log"; fail "the program ended with $status"; }
[ -f "$work/config/Zarnok/Tolvane.ini" ] || fail "no settings were saved"
echo "check-run-command: ended cleanly, settings saved"
