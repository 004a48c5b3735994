# Sourced by the benchmark scripts (from the repository root).

# The median of the numbers on standard input, one per line.
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# The folder of the shared third-party samples, as an absolute path: the one given, else the
# ../shared/samples beside the repository, else the machine's /work/shared/samples.
samples_dir() {
  local dir="${1:-../shared/samples}"
  [ -f "$dir/firstrun.rm" ] || dir=/work/shared/samples
  (cd "$dir" && pwd)
}

now() { date +%s.%N; }

# The usual start: runs from the first argument (default 3), build (BUILD_DIR, default build), sample
# (the shared cook recording) and work, a temporary folder removed at the end.
bench_start() {
  runs="${1:-3}"
  build="${BUILD_DIR:-build}"
  sample="$(samples_dir)/firstrun.rm"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}

# CPU seconds (user + system) of the finished children of this shell; `times` runs in this shell, not
# in a subshell, which has no children of its own.
children_cpu() {
  times >"$work/times"
  tail -1 "$work/times" | tr 'ms' '  ' | awk '{print $1 * 60 + $2 + $3 * 60 + $4}'
}

# turns_ratio LABEL A B BAR: prints the median wall times of run_A and run_B and their ratio; fails
# when the ratio is over BAR.
turns_ratio() {
  local a b ratio
  a=$(median <"$work/walls-$2")
  b=$(median <"$work/walls-$3")
  ratio=$(echo "$a / $b" | bc -l)
  printf 'median wall, %s: %s %.2f s, %s %.2f s, ratio %.3f (bar: at most %s)\n' "$1" "$2" "$a" "$3" "$b" "$ratio" "$4"
  (($(echo "$ratio <= $4" | bc -l)))
}

# take_turns ORDER OTHER-ORDER [cpu]: runs the functions run_NAME of ORDER in turn, $runs rounds, in
# OTHER-ORDER every second round so that a busy moment hits them alike. Each wall time goes to
# $work/walls-NAME; each is printed with the load before it and, with "cpu", the children's CPU.
take_turns() {
  local run who load t0 t1 wall cpu order
  for who in $1; do : >"$work/walls-$who"; done
  for run in $(seq "$runs"); do
    order="$1"
    [ $((run % 2)) -eq 0 ] && order="$2"
    for who in $order; do
      load=$(cut -d' ' -f1 /proc/loadavg)
      children_cpu >"$work/cpu0"
      t0=$(now)
      "run_$who" >"$work/errors-$who" 2>&1 || {
        echo "$who failed:"
        tail "$work/errors-$who"
        exit 1
      }
      t1=$(now)
      children_cpu >"$work/cpu1"
      wall=$(echo "$t1 - $t0" | bc -l)
      echo "$wall" >>"$work/walls-$who"
      cpu=""
      [ "${3:-}" = cpu ] && cpu=$(printf ', cpu %6.2f s' "$(echo "$(cat "$work/cpu1") - $(cat "$work/cpu0")" | bc -l)")
      printf 'run %d  %-12s wall %7.2f s%s, load before %s\n' "$run" "$who" "$wall" "$cpu" "$load"
    done
  done
}
