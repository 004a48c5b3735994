# Shared by the scripts that start the real program on a virtual display and watch its main window.
# Source it after defining fail(); it uses $work (a temporary folder) and sets $xvfb_pid and $display.

# Starts Xvfb on a free display. -noreset: a server that starts over whenever its last client leaves
# (each xwininfo poll below) drops a program that is connecting just then.
start_xvfb() {
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 200); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  display=":$(head -n 1 "$work/display")"
}

# Waits up to $2 seconds (default 60) for the main window of the program running as process $1; false
# when it ends first.
wait_for_main_window() {
  for _ in $(seq $((${2:-60} * 5))); do
    if DISPLAY="$display" xwininfo -root -tree 2>/dev/null | grep -q '"Tolvane   ('; then return 0; fi
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

# Ends the program of process $1 (a child of this shell) as a session end would, with SIGTERM, and sets
# $program_status to its exit status.
end_program() {
  kill -TERM "$1"
  program_status=0
  wait "$1" || program_status=$?
}
