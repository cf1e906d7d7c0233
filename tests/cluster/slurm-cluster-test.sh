#!/usr/bin/env bash
# The test cluster itself: a job array runs every task, a cancelled task leaves its
# siblings alone, and stopping leaves no process and no file behind.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/slurm-cluster.sh"

fail() {
    echo "slurm-cluster-test: $*" >&2
    [ -n "${SLURM_CLUSTER_DIR:-}" ] && slurm_cluster_stop
    rm -rf "$work"
    exit 1
}

# Waits until no job of the cluster is left, at most $1 seconds.
await_empty() {
    slurm_cluster_await "$1" sh -c '[ -z "$(squeue -h -o %i)" ]'
}

task_state() {
    scontrol show job "$1_$2" | sed -n 's/.*JobState=\([A-Z]*\).*/\1/p'
}

work=$(mktemp -d)
trap 'fail "interrupted"' INT TERM
slurm_cluster_start || { status=$?; rm -rf "$work"; exit $status; }
cluster=$SLURM_CLUSTER_DIR

job=$(sbatch --parsable --array=0-3 -o "$work/job-%A_%a.log" \
    --wrap "sleep 1; echo \$SLURM_ARRAY_TASK_ID > $work/out.\$SLURM_ARRAY_TASK_ID") ||
    fail "sbatch refused the array"
await_empty 30 || fail "the array did not finish in 30 s"
for task in 0 1 2 3; do
    [ "$(cat "$work/out.$task" 2>/dev/null)" = "$task" ] || fail "task $task wrote no output"
    [ "$(task_state "$job" "$task")" = COMPLETED ] || fail "task $task is not COMPLETED"
done

# Task 1 sleeps long (exec: no shell left to go on after the signal) and is cancelled
# while it runs; the others finish.
rm -f "$work"/out.*
job=$(sbatch --parsable --array=0-3 -o /dev/null --wrap "
    [ \$SLURM_ARRAY_TASK_ID = 1 ] && exec sleep 60
    echo \$SLURM_ARRAY_TASK_ID > $work/out.\$SLURM_ARRAY_TASK_ID")
slurm_cluster_await 20 sh -c "squeue -h -t R -j ${job}_1 | grep -q ." || fail "task 1 never ran"
scancel "${job}_1"
await_empty 30 || fail "the array did not finish after the cancel"
[ ! -e "$work/out.1" ] || fail "the cancelled task wrote its output"
[ "$(task_state "$job" 1)" = CANCELLED ] || fail "task 1 is $(task_state "$job" 1), not CANCELLED"
for task in 0 2 3; do
    [ -e "$work/out.$task" ] || fail "task $task did not run after its sibling was cancelled"
done

# A job still running when the cluster stops is ended with it.
sbatch --parsable -o /dev/null --wrap "sleep 60" >/dev/null
slurm_cluster_await 20 sh -c 'squeue -h -t R | grep -q .' || fail "the last job never ran"
daemons=$(cat "$cluster"/*.id)

slurm_cluster_stop
for id in $daemons; do
    slurm_cluster_alive "$id" && fail "process $id outlived the cluster"
done
SLURM_CLUSTER_DIR=$cluster
[ -z "$(slurm_cluster_job_processes)" ] || fail "job processes outlived the cluster"
[ ! -e "$cluster" ] || fail "the cluster's folder $cluster remains"
rm -rf "$work"
echo "slurm-cluster-test: passed"
