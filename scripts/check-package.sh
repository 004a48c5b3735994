#!/usr/bin/env bash
# Builds the Debian package from a built tree, installs it with apt-get as a user would, starts the
# program by the Exec command of its installed menu entry under Xvfb, waits for the main window, ends
# it with SIGTERM, and removes the package again. Needs root (apt-get); scripts/test.sh runs it last.
#   bash scripts/check-package.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
export DEBIAN_FRONTEND=noninteractive
# Another apt-get at work (an install on the same machine) is waited for, not taken for a failure.
apt=(apt-get -o DPkg::Lock::Timeout=300)

fail() {
  echo "check-package: $*" >&2
  exit 1
}
# shellcheck source=lib/program-window.sh
. scripts/lib/program-window.sh
[ "$(id -u)" -eq 0 ] || fail "needs root to install the package"
[ -f "$build/CPackConfig.cmake" ] || fail "no configured build in $build"
[ -x "$build/bin/tolvane" ] || fail "the program is not built in $build"

work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
  if [ -n "$program_pid" ]; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if dpkg-query -W -f='${Status}' tolvane 2>/dev/null | grep -q "install ok installed"; then
    "${apt[@]}" remove --purge -y -q tolvane >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "check-package: building the package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
cd "$work/package"
debs=(tolvane_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "cpack made no single tolvane_*.deb"; fi

if dpkg-query -W -f='${Status}' tolvane 2>/dev/null | grep -q "install ok installed"; then
  echo "check-package: removing the tolvane installed before: the check starts without it"
  "${apt[@]}" remove --purge -y -q tolvane >/dev/null
fi

echo "check-package: apt-get install ./${debs[0]}"
"${apt[@]}" install -y -q "./${debs[0]}" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install failed"; }

entry=$(dpkg-query -L tolvane | grep '^/usr/share/applications/.*\.desktop$' || true)
[ -n "$entry" ] || fail "the package installs no menu entry"
exec_line=$(sed -n 's/^Exec=//p' "$entry" | head -n 1)
# A menu started without files drops the field codes (%F and the like).
command=$(echo "$exec_line" | sed -E 's/(^| )%[a-zA-Z]//g')
echo "check-package: menu entry $entry runs \"$command\""

start_xvfb

# A new user's session: nothing of the build tree or of this shell's environment.
mkdir -p "$work/home"
run_env=(env -i HOME="$work/home" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
  DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/home/.config"
  XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/home/runtime")
mkdir -m 700 "$work/home/runtime"
resolved=$("${run_env[@]}" sh -c "command -v ${command%% *}" || true)
[ "$resolved" = /usr/bin/tolvane ] || fail "the menu command resolves to \"$resolved\", not /usr/bin/tolvane"
# shellcheck disable=SC2086  # the Exec command is split into its words, as a menu does
(cd "$work/home" && exec "${run_env[@]}" $command) &
program_pid=$!

wait_for_main_window "$program_pid" || fail "the main window never appeared"
echo "check-package: the main window is shown on $display"

end_program "$program_pid"
program_pid=
[ "$program_status" -eq 0 ] || fail "the program ended with status $program_status after SIGTERM"
[ -f "$work/home/.config/Zarnok/Tolvane.ini" ] || fail "the program saved no settings when it closed"

"${apt[@]}" remove --purge -y -q tolvane >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get remove failed"; }
if [ -e /usr/bin/tolvane ] || [ -e /usr/share/tolvane ]; then fail "files are left after the removal"; fi
echo "check-package: installed, started from the menu entry, closed and removed: fine"
