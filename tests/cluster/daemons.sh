#!/usr/bin/env bash
# Starts or stops, for one test, an sshd reached as the host names node1 and node2 and a one-node
# Slurm cluster (munged, slurmctld, slurmd), all with their own keys, configuration and state under
# DIR. Nothing of the system's own configuration or of root's home is changed.
#   daemons.sh start DIR BINDIR OWNER   exit 0: all running; 77: cannot start them here (the reason
#                                       on stdout); they are stopped when process OWNER ends, at the latest
#   daemons.sh stop DIR
# After a start, DIR/env holds the variables a recipe needs (SLURM_CONF, PARALLEL_SSH, PATH).
set -u
action=$1
dir=$2

skip() {
  echo "$*"
  [ "$action" = start ] && stop
  exit 77
}

# Waits up to 20 s for a command to succeed.
wait_for() {
  local i
  for i in $(seq 1 100); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

stop() {
  local pidfile pid i
  for pidfile in "$dir"/run/slurmd.pid "$dir"/run/slurmctld.pid "$dir"/run/sshd.pid "$dir"/run/munged.pid; do
    [ -s "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || continue
    for i in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    kill -KILL "$pid" 2>/dev/null
    rm -f "$pidfile"
  done
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi
bindir=$3

[ "$(id -u)" = 0 ] || skip "not root: sshd and slurmd must run as root"
for program in /usr/sbin/sshd ssh ssh-keygen /usr/sbin/munged /usr/sbin/mungekey /usr/sbin/slurmctld \
  /usr/sbin/slurmd sbatch sinfo scontrol parallel python3 runuser; do
  command -v "$program" >/dev/null || skip "$program is missing: run scripts/install-deps.sh"
done
id munge >/dev/null 2>&1 || skip "there is no munge user: run scripts/install-deps.sh"

mkdir -p "$dir"/home "$dir"/run "$dir"/ssh "$dir"/munge "$dir"/slurm/state "$dir"/slurm/spool "$dir"/log
chmod 755 "$dir" "$dir"/run "$dir"/log

# --- sshd: node1 and node2 both lead to this machine, on a spare port, with keys made here.
ssh-keygen -q -t ed25519 -N '' -f "$dir"/ssh/host_key || skip "ssh-keygen failed"
ssh-keygen -q -t ed25519 -N '' -f "$dir"/ssh/client_key || skip "ssh-keygen failed"
cp "$dir"/ssh/client_key.pub "$dir"/ssh/authorized_keys
ssh_port=$(free_port)
# sshd refuses to start without its privilege separation folder.
mkdir -p /run/sshd
cat >"$dir"/ssh/sshd_config <<EOF
Port $ssh_port
ListenAddress 127.0.0.1
HostKey $dir/ssh/host_key
PidFile $dir/run/sshd.pid
AuthorizedKeysFile $dir/ssh/authorized_keys
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
# The remote side finds the built program, and keeps its files (parallel's --wd ...) under DIR.
SetEnv PATH=$bindir:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=$dir/home
EOF
cat >"$dir"/ssh/ssh_config <<EOF
Host node1 node2
  HostName 127.0.0.1
  Port $ssh_port
  User root
  IdentityFile $dir/ssh/client_key
  IdentitiesOnly yes
  UserKnownHostsFile $dir/ssh/known_hosts
  StrictHostKeyChecking accept-new
  BatchMode yes
  ConnectTimeout 10
EOF
# sshd starts a session in the user's home from the password file; its shell then moves to the
# test's (bash reads ~/.bashrc for a command over ssh), so parallel's --wd ... lies under DIR too.
echo 'cd "$HOME"' >"$dir"/home/.bashrc
/usr/sbin/sshd -f "$dir"/ssh/sshd_config -E "$dir"/log/sshd.log || skip "sshd did not start: $(tail -2 "$dir"/log/sshd.log)"
wait_for ssh -F "$dir"/ssh/ssh_config node1 true || skip "ssh node1 fails: $(tail -3 "$dir"/log/sshd.log)"
ssh -F "$dir"/ssh/ssh_config node2 true || skip "ssh node2 fails"

# --- munged as its own user, with a key of its own.
# The socket's folder must be open to every user, the key's to munge only.
mkdir -p "$dir"/munge-socket
chown munge:munge "$dir"/munge "$dir"/munge-socket
chmod 700 "$dir"/munge
chmod 755 "$dir"/munge-socket
runuser -u munge -- /usr/sbin/mungekey --create --keyfile="$dir"/munge/munge.key || skip "mungekey failed"
runuser -u munge -- /usr/sbin/munged --socket="$dir"/munge-socket/munge.socket --key-file="$dir"/munge/munge.key \
  --pid-file="$dir"/munge/munged.pid --log-file="$dir"/munge/munged.log --seed-file="$dir"/munge/seed ||
  skip "munged did not start: $(tail -2 "$dir"/munge/munged.log)"
wait_for test -s "$dir"/munge/munged.pid || skip "munged wrote no pid file"
cp "$dir"/munge/munged.pid "$dir"/run/munged.pid

# --- slurmctld and slurmd: one node with this machine's CPUs.
host=$(hostname -s)
cpus=$(nproc --all)
# The recipes ask for four cores a task: a smaller machine is declared with four, which slurmd then
# accepts (config_overrides) rather than draining the node.
overrides=
if [ "$cpus" -lt 4 ]; then
  cpus=4
  overrides=SlurmdParameters=config_overrides
fi
ctld_port=$(free_port)
slurmd_port=$(free_port)
cat >"$dir"/slurm/slurm.conf <<EOF
ClusterName=tolvanetest
SlurmctldHost=$host
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge-socket/munge.socket
StateSaveLocation=$dir/slurm/state
SlurmdSpoolDir=$dir/slurm/spool
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
MpiDefault=none
SwitchType=switch/none
PlugStackConfig=$dir/slurm/plugstack.conf
$overrides
NodeName=$host CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
: >"$dir"/slurm/plugstack.conf
export SLURM_CONF=$dir/slurm/slurm.conf
/usr/sbin/slurmctld -i -f "$SLURM_CONF" || skip "slurmctld did not start: $(tail -3 "$dir"/log/slurmctld.log)"
/usr/sbin/slurmd -f "$SLURM_CONF" || skip "slurmd did not start: $(tail -3 "$dir"/log/slurmd.log)"
wait_for sh -c 'sinfo -h -N -o %t | grep -qx idle' ||
  skip "the Slurm node did not come up: $(tail -3 "$dir"/log/slurmctld.log; tail -3 "$dir"/log/slurmd.log)"

cat >"$dir"/env <<EOF
SLURM_CONF=$SLURM_CONF
PARALLEL_SSH='ssh -F $dir/ssh/ssh_config'
HOME=$dir/home
PATH=$bindir:$PATH
EOF
# A test killed before its stop leaves nothing running.
owner=$4
(
  while kill -0 "$owner" 2>/dev/null; do sleep 2; done
  stop
) </dev/null >/dev/null 2>&1 &
echo "started"
