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
