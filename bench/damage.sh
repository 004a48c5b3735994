#!/usr/bin/env bash
# The damage campaign: single-damage variants of the real multi-rate samples (bench/damage_variants.py),
# each probed by tolvane-inspect and converted by tolvane-bench in a process of its own, and sorted
# into classes: crash (a signal or a sanitizer report), hang (no end within the limit), slow open
# (the probe over 2 s, the shortest of up to three tries), false success (exit 0 and no MP3 or under a
# second of it), runaway (an MP3 over 1.1 times the sample's length), unwarned short (exit 0, an MP3
# under 90 % of the sample's length), and the good ones: clean success (within 2 % of the sample's length), warned (exit 3),
# refused (exit 1), other success.
# Usage: bench/damage.sh [EVERY]   converts every EVERY-th variant (default 1: all of them), those
# whose number (from 1) leaves OFFSET over a multiple of EVERY (default 0: the EVERY-th, the 2 EVERY-th, ...),
# so that runs with other offsets take the others, and of those only the numbers FROM to TO (default: all);
# BUILD_DIR selects the build (default build-asan: Debug with -DTOLVANE_SANITIZE=address,undefined),
# SAMPLES_DIR the samples, LIMIT the seconds a variant may take (default 600). Runs at nice 19.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
every="${1:-1}"
offset="${OFFSET:-0}"
build="${BUILD_DIR:-build-asan}"
limit="${LIMIT:-600}"
samples=$(samples_dir "${SAMPLES_DIR:-}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --build "$build" --target tolvane-bench tolvane-inspect >/dev/null
bench="$build/bin/tolvane-bench"
inspect="$build/bin/tolvane-inspect"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

seconds() {  # the MP3's playing time, or 0
  ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" 2>/dev/null | awk '{print $1 + 0}' || echo 0
}

declare -A length=([multirate-cook]=208.0 [multirate-aac]=207.5)
for sample in multirate-cook multirate-aac; do
  python3 bench/damage_variants.py "$samples/$sample.ra" "$work/variants" >/dev/null
done
# Each outcome is written as it comes, so a run cut short keeps what it measured.
results="${RESULTS:-damage-results.tsv}"
printf 'class\tvariant\tprobe_s\texit\tmp3_s\n' >"$results"
n=0
for variant in "$work"/variants/*.ra; do
  n=$((n + 1))
  [ $((n % every)) -eq "$offset" ] && [ "$n" -ge "${FROM:-1}" ] && [ "$n" -le "${TO:-$n}" ] || continue
  name=$(basename "$variant" .ra)
  : >"$work/inspect.err"
  full=${length[${name%%--*}]}
  # A probe of 2 to 60 s is timed again, twice at most, and the shortest counts: on the shared machine
  # a process at nice 19 can wait seconds for a core before it reads a byte.
  probe=
  for attempt in 1 2 3; do
    start=$(date +%s.%N)
    timeout "$limit" nice -n 19 "$inspect" "$variant" >"$work/inspect.txt" 2>>"$work/inspect.err" || true
    took=$(echo "$(date +%s.%N) - $start" | bc -l)
    if [ -z "$probe" ] || (($(echo "$took < $probe" | bc -l))); then probe=$took; fi
    (($(echo "$probe > 2 && $took < 60" | bc -l))) || break
  done
  rm -f "$work/out.mp3"
  set +e
  timeout "$limit" nice -n 19 "$bench" "$variant" "$work/out.mp3" >/dev/null 2>"$work/bench.err"
  code=$?
  set -e
  mp3=0
  [ -s "$work/out.mp3" ] && mp3=$(seconds "$work/out.mp3")
  if [ $code -eq 124 ]; then
    class=hang
  elif [ $code -ge 128 ] || grep -q -E "Sanitizer|runtime error" "$work/bench.err" "$work/inspect.err"; then
    class=crash
  elif (($(echo "$probe > 2" | bc -l))); then
    class=slow-open
  elif [ $code -eq 0 ] && (($(echo "$mp3 < 1" | bc -l))); then
    class=false-success
  elif (($(echo "$mp3 > $full * 1.1" | bc -l))); then
    class=runaway
  elif [ $code -eq 0 ] && (($(echo "$mp3 < $full * 0.9" | bc -l))); then
    class=unwarned-short
  elif [ $code -eq 0 ] && (($(echo "$mp3 >= $full * 0.98" | bc -l))); then
    class=clean-success
  elif [ $code -eq 3 ]; then
    class=warned
  elif [ $code -eq 1 ]; then
    class=refused
  else
    class=other-success
  fi
  printf '%s\t%s\t%.2f\t%s\t%.1f\n' "$class" "$name" "$probe" "$code" "$mp3" >>"$results"
done
printf '\n| Class | variants |\n|---|---|\n'
tail -n +2 "$results" | cut -f1 | sort | uniq -c | awk '{printf "| %s | %d |\n", $2, $1}'
bad=$(tail -n +2 "$results" | cut -f1 | grep -c -E '^(crash|hang|slow-open|false-success|runaway|unwarned-short)$' || true)
echo "bad classes: $bad"
[ "$bad" -eq 0 ]
