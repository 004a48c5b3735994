#!/usr/bin/env bash
# Installs what is missing, builds Tolvane and runs every test three ways: a plain build,
# AddressSanitizer with UndefinedBehaviorSanitizer, and ThreadSanitizer for the threaded tests.
# As root it ends with the Debian package: installed with apt-get, started from its menu entry, removed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
jobs=$(nproc)

echo "== Plain build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== The README's run command opens the main window"
bash scripts/check-run-command.sh

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_SANITIZE=address,undefined
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1" \
LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer (threaded tests)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_SANITIZE=thread -DTOLVANE_TEST_SET=threaded
cmake --build build-tsan -j "$jobs"
# Address-space randomisation off: the ThreadSanitizer runtime of this compiler rejects
# the memory layout of newer kernels otherwise.
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
  setarch "$(uname -m)" -R ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L threaded --no-tests=ignore

if [ "$(id -u)" -eq 0 ]; then
  echo "== The Debian package, installed and started from its menu entry"
  bash scripts/check-package.sh build
fi
