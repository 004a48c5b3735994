#!/usr/bin/env bash
# Times tolvane-bench on multi-rate RealMedia files against single-rate files of the same codec and
# length, and compares their peak memory (bars: within 5 % of the time and 5 MB of the memory):
# - a generated 208 s multi-rate file (AC-3 192 kbps, AAC 64 kbps, RealAudio 14.4) against its AC-3
#   source, made by the ffmpeg tool;
# - the real multi-rate samples of ../shared/samples (when present) against their chosen stream
#   written as a single-rate file.
# Prints the median wall and CPU times (the CPU time is the steadier measure on a busy machine).
# Usage: bench/multirate.sh [runs]   (BUILD_DIR selects the build folder, default build-bench;
# SAMPLES_DIR the folder of the real samples, default ../shared/samples)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
runs="${1:-3}"
build="${BUILD_DIR:-build-bench}"
samples="${SAMPLES_DIR:-../shared/samples}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tolvane-bench tolvane-multirate >/dev/null
bench="$build/bin/tolvane-bench"
multirate="$build/bin/tolvane-multirate"

tone() {  # frequency, output, codec options...
  local frequency=$1 output=$2
  shift 2
  ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "sine=frequency=$frequency:duration=208" \
    "$@" -f rm "$output"
}
echo "Making the test files ..."
tone 1000 "$work/ac3.rm" -ac 2 -ar 48000 -c:a ac3 -b:a 192k
tone 500 "$work/aac.rm" -ac 2 -ar 32000 -c:a aac -b:a 64k
tone 300 "$work/ra144.rm" -ac 1 -ar 8000 -c:a real_144
"$multirate" merge "$work/generated-multi.rm" "$work/ac3.rm" "$work/aac.rm" "$work/ra144.rm"
pairs=("generated AC-3:$work/generated-multi.rm:$work/ac3.rm")
for sample in multirate-cook multirate-aac; do
  if [ -f "$samples/$sample.ra" ]; then
    "$multirate" single "$samples/$sample.ra" "$work/$sample-single.rm"
    pairs+=("$sample:$samples/$sample.ra:$work/$sample-single.rm")
  fi
done

measure() {  # input, label: appends "wall memory cpu" to $work/label.txt
  "$bench" "$1" "$work/out.mp3" >"$work/run.txt"
  awk '/wall_seconds/ {w = $2} /peak_memory_mb/ {m = $2} /cpu_seconds/ {c = $2} END {print w, m, c}' \
    "$work/run.txt" >>"$work/$2.txt"
}

ok=1
printf '\n| Input | wall multi / single | ratio | CPU multi / single | ratio | peak memory multi / single |\n'
printf '|---|---|---|---|---|---|\n'
for pair in "${pairs[@]}"; do
  IFS=: read -r label multi single <<<"$pair"
  rm -f "$work/multi.txt" "$work/single.txt"
  for i in $(seq "$runs"); do
    # Alternate the two so that a busy moment of the machine hits both alike.
    measure "$multi" multi
    measure "$single" single
  done
  mw=$(awk '{print $1}' "$work/multi.txt" | median)
  sw=$(awk '{print $1}' "$work/single.txt" | median)
  mm=$(awk '{print $2}' "$work/multi.txt" | sort -g | tail -1)
  sm=$(awk '{print $2}' "$work/single.txt" | sort -g | tail -1)
  mc=$(awk '{print $3}' "$work/multi.txt" | median)
  sc=$(awk '{print $3}' "$work/single.txt" | median)
  ratio=$(echo "$mw / $sw" | bc -l)
  cpu=$(echo "$mc / $sc" | bc -l)
  printf '| %s | %.2f s / %.2f s | %.3f | %.2f s / %.2f s | %.3f | %s MB / %s MB |\n' \
    "$label" "$mw" "$sw" "$ratio" "$mc" "$sc" "$cpu" "$mm" "$sm"
  (($(echo "$ratio <= 1.05 || $cpu <= 1.05" | bc -l))) || ok=0
  d=$(echo "$mm - $sm" | bc -l)
  (($(echo "${d#-} <= 5" | bc -l))) || ok=0
done
[ "$ok" = 1 ] && echo "PASS" || {
  echo "FAIL"
  exit 1
}
