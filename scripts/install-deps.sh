#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tolvane need.
# Quick when everything is already there: apt-get only runs for missing packages.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev libgl-dev
  # The main window reads the window manager's close requests from the X connection.
  libxcb1-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libmp3lame0 libmp3lame-dev
  libgtest-dev googletest
  xvfb xauth x11-utils ffmpeg clang-format
  # Installing and packaging: the desktop validators, dpkg-shlibdeps for the package's Depends,
  # file for its checks, rsvg-convert for scripts/render-icon.sh.
  desktop-file-utils appstream dpkg-dev file librsvg2-bin
  # The end-to-end tests press keys, click and drag in the program's windows on the virtual display,
  # minimise and restore them through window managers (twm, openbox) and picture the screen when a wait fails.
  xdotool twm openbox xfonts-base imagemagick
  # The command-line converter's cluster recipes run under GNU parallel (over ssh, files moved with
  # rsync) and Slurm; a test runs them against its own sshd, munged, slurmctld and slurmd.
  parallel rsync openssh-server openssh-client munge slurmctld slurmd slurm-client
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
