#!/usr/bin/env bash
# A real single-node Slurm cluster on this machine, for tests: its own munge key and
# daemon, slurmctld and slurmd from the distribution's packages, every file in one
# temporary folder, nothing shared with a munge or Slurm the machine may already run.
#
#   slurm-cluster.sh run COMMAND [ARG...]
#       Starts the cluster, runs COMMAND with SLURM_CONF pointing at it (so sbatch,
#       squeue, scancel and scontrol reach it) and SLURM_CLUSTER_DIR set to its folder,
#       stops the cluster and ends with COMMAND's status.
#   slurm-cluster.sh start        Starts a cluster and prints its folder.
#   slurm-cluster.sh stop FOLDER  Stops the cluster of FOLDER and removes the folder.
#
# Sourced, it defines slurm_cluster_start (sets SLURM_CONF and SLURM_CLUSTER_DIR) and
# slurm_cluster_stop. When the cluster cannot start here (not root, a daemon missing
# or failing) it says why on stderr and the status is 77, which the test runner
# counts as skipped. Stopping cancels the jobs, ends every daemon and job process by
# its id and removes the folder.

slurm_cluster_skip=77
slurm_cluster_commands=(munged munge unmunge slurmctld slurmd sbatch squeue sinfo scontrol scancel)

slurm_cluster_fail() {
    echo "slurm-cluster: cannot start a Slurm cluster here: $*" >&2
}

slurm_cluster_check() {
    if [ "$(id -u)" -ne 0 ]; then
        slurm_cluster_fail "slurmd must run as root to start jobs"
        return 1
    fi
    local c
    for c in "${slurm_cluster_commands[@]}"; do
        if ! command -v "$c" >/dev/null; then
            slurm_cluster_fail "$c is not installed (Debian packages slurm-wlm, munge)"
            return 1
        fi
    done
}

# Two distinct TCP ports that nothing uses and no other test cluster has taken, below
# the range the kernel hands out to outgoing connections.
slurm_cluster_free_ports() {
    local ports=() port
    for _ in $(seq 100); do
        port=$((20000 + RANDOM % 12000))
        [ -z "$(ss -Htan "sport = :$port" 2>/dev/null)" ] || continue
        grep -qs "Port=$port\$" /tmp/sonavel-slurm.*/slurm.conf && continue
        [[ " ${ports[*]} " == *" $port "* ]] && continue
        ports+=("$port")
        if [ ${#ports[@]} = 2 ]; then
            echo "${ports[@]}"
            return 0
        fi
    done
    return 1
}

# Runs "$@" every 0.1 s until it succeeds, at most $1 seconds.
slurm_cluster_await() {
    local tenths=$(($1 * 10))
    shift
    for _ in $(seq "$tenths"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

slurm_cluster_start_munge() {
    local d=$SLURM_CLUSTER_DIR
    if command -v mungekey >/dev/null; then
        mungekey --create --keyfile="$d/munge.key" || return 1
    else
        dd if=/dev/urandom of="$d/munge.key" bs=1024 count=1 status=none || return 1
    fi
    chmod 600 "$d/munge.key"
    munged --foreground --force --socket="$d/munge.socket" --key-file="$d/munge.key" \
        --pid-file="$d/munged.pid" --log-file="$d/munged.log" --seed-file="$d/munged.seed" \
        >"$d/munged.stderr" 2>&1 &
    echo $! >"$d/munged.id"
    slurm_cluster_await 10 sh -c "munge -S '$d/munge.socket' -n | unmunge -S '$d/munge.socket'"
}

slurm_cluster_write_conf() {
    local d=$SLURM_CLUSTER_DIR node=$1 ctld_port=$2 slurmd_port=$3
    mkdir -p "$d/state" "$d/spool"
    cat >"$d/slurm.conf" <<CONF
ClusterName=sonaveltest
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$d/munge.socket
StateSaveLocation=$d/state
SlurmdSpoolDir=$d/spool
SlurmctldPidFile=$d/slurmctld.pid
SlurmdPidFile=$d/slurmd.pid
SlurmctldLogFile=$d/slurmctld.log
SlurmdLogFile=$d/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SwitchType=switch/none
MpiDefault=none
MailProg=/bin/true
SchedulerType=sched/backfill
# Tests wait for jobs: start them as soon as a CPU is free, not on the next minute.
SchedulerParameters=sched_interval=1,batch_sched_delay=0
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SlurmdParameters=config_overrides
ReturnToService=2
KillWait=2
InactiveLimit=0
MinJobAge=300
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=1000 State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
}

# Waits until node $1 takes jobs; gives up early when a daemon has ended.
slurm_cluster_await_node() {
    local daemon
    for _ in $(seq 300); do
        [ "$(sinfo -h -n "$1" -o %t 2>/dev/null)" = idle ] && return 0
        for daemon in slurmctld slurmd; do
            slurm_cluster_alive "$(cat "$SLURM_CLUSTER_DIR/$daemon.id")" || return 1
        done
        sleep 0.1
    done
    return 1
}

# Starts slurmctld and slurmd on fresh ports and waits for node $1; a failed attempt
# leaves no daemon running.
slurm_cluster_start_daemons() {
    local d=$SLURM_CLUSTER_DIR node=$1 ports daemon
    ports=$(slurm_cluster_free_ports) || return 1
    rm -rf "$d/state" "$d/spool"
    slurm_cluster_write_conf "$node" $ports
    slurmctld -D -f "$SLURM_CONF" >>"$d/slurmctld.stderr" 2>&1 &
    echo $! >"$d/slurmctld.id"
    slurmd -D -f "$SLURM_CONF" -N "$node" >>"$d/slurmd.stderr" 2>&1 &
    echo $! >"$d/slurmd.id"
    slurm_cluster_await_node "$node" && return 0
    for daemon in slurmd slurmctld; do
        slurm_cluster_end_process "$(cat "$d/$daemon.id")"
    done
    return 1
}

slurm_cluster_start() {
    slurm_cluster_check || return $slurm_cluster_skip
    SLURM_CLUSTER_DIR=$(mktemp -d /tmp/sonavel-slurm.XXXXXX) || return $slurm_cluster_skip
    # munged wants its socket's folder searchable by all; the key inside stays private.
    chmod 711 "$SLURM_CLUSTER_DIR"
    export SLURM_CLUSTER_DIR SLURM_CONF=$SLURM_CLUSTER_DIR/slurm.conf
    local d=$SLURM_CLUSTER_DIR node
    node=$(hostname -s)
    if ! slurm_cluster_start_munge; then
        slurm_cluster_fail "munged did not start: $(tail -n 3 "$d/munged.stderr" 2>/dev/null)"
        slurm_cluster_stop
        return $slurm_cluster_skip
    fi
    # A port taken between choosing and binding it fails one attempt, not the test.
    for _ in 1 2 3; do
        slurm_cluster_start_daemons "$node" && return 0
    done
    slurm_cluster_fail "node $node did not become idle; last log lines:
$(tail -n 5 "$d"/slurm*.stderr 2>/dev/null)"
    slurm_cluster_stop
    return $slurm_cluster_skip
}

# Ids of the processes slurmd started (the step daemons, which outlive it, and the
# jobs under them): those that hold slurmd's log open and their descendants.
slurm_cluster_job_processes() {
    local stat id line found fields
    declare -A parents
    for stat in /proc/[0-9]*/stat; do
        read -r line 2>/dev/null <"$stat" || continue
        id=${stat#/proc/}
        read -ra fields <<<"${line##*) }"
        parents[${id%/stat}]=${fields[1]}
    done
    found=" "
    for id in "${!parents[@]}"; do
        [[ "$(readlink "/proc/$id/fd/"* 2>/dev/null)" == *"$SLURM_CLUSTER_DIR/slurmd.log"* ]] &&
            found+="$id "
    done
    local grown=1
    while [ $grown = 1 ]; do
        grown=0
        for id in "${!parents[@]}"; do
            if [[ $found != *" $id "* && $found == *" ${parents[$id]} "* ]]; then
                found+="$id "
                grown=1
            fi
        done
    done
    echo $found
}

# Whether process $1 runs (a zombie waiting for its parent does not).
slurm_cluster_alive() {
    [ -r "/proc/$1/stat" ] && ! grep -q '^[^)]*) Z' "/proc/$1/stat"
}

slurm_cluster_end_process() {
    local id=$1
    kill -TERM "$id" 2>/dev/null || return 0
    slurm_cluster_await 10 eval "! slurm_cluster_alive $id" || kill -KILL "$id" 2>/dev/null
    wait "$id" 2>/dev/null || true
}

slurm_cluster_stop() {
    local d=${SLURM_CLUSTER_DIR:?} id daemon
    export SLURM_CONF=$d/slurm.conf
    if [ -f "$d/slurmctld.id" ]; then
        scancel --user="$(id -un)" 2>/dev/null
        slurm_cluster_await 10 sh -c '[ -z "$(squeue -h -o %i 2>/dev/null)" ]'
    fi
    local jobs
    jobs=$(slurm_cluster_job_processes)
    for daemon in slurmd slurmctld; do
        [ -f "$d/$daemon.id" ] && slurm_cluster_end_process "$(cat "$d/$daemon.id")"
    done
    for id in $jobs; do
        grep -qx "$id" "$d"/*.id || kill -KILL "$id" 2>/dev/null
    done
    [ -f "$d/munged.id" ] && slurm_cluster_end_process "$(cat "$d/munged.id")"
    rm -rf "$d"
    unset SLURM_CLUSTER_DIR SLURM_CONF
}

slurm_cluster_main() {
    case "${1:-}" in
    run)
        shift
        [ $# -gt 0 ] || { echo "usage: $0 run COMMAND [ARG...]" >&2; return 2; }
        slurm_cluster_start || return
        trap 'slurm_cluster_stop; exit 130' INT TERM
        local status=0
        "$@" || status=$?
        trap - INT TERM
        slurm_cluster_stop
        return $status
        ;;
    start)
        slurm_cluster_start || return
        echo "$SLURM_CLUSTER_DIR"
        ;;
    stop)
        [ -d "${2:-}" ] || { echo "usage: $0 stop FOLDER" >&2; return 2; }
        SLURM_CLUSTER_DIR=$2 slurm_cluster_stop
        ;;
    *)
        echo "usage: $0 run COMMAND [ARG...] | start | stop FOLDER" >&2
        return 2
        ;;
    esac
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    slurm_cluster_main "$@"
fi
