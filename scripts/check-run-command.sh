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

# shellcheck source=lib/program-window.sh
. scripts/lib/program-window.sh
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

start_xvfb

# run.sh ends by exec'ing the program, so this process id becomes the program's.
DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  bash scripts/run.sh >"$work/run.log" 2>&1 &
program_pid=$!

wait_for_main_window "$program_pid" 300 || { cat "$work/run.log"; fail "no main window appeared"; }
echo "check-run-command: the main window is open"

end_program "$program_pid"
program_pid=
[ "$program_status" -eq 0 ] || { cat "$work/run.log"; fail "the program ended with $program_status"; }
[ -f "$work/config/Zarnok/Tolvane.ini" ] || fail "no settings were saved"
echo "check-run-command: ended cleanly, settings saved"
