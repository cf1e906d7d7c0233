#!/usr/bin/env bash
# `sonavel batch --slurm` on a real single-node cluster: a collection of mixed formats,
# rates and lengths restored in 4 array tasks matches a local batch sample for sample;
# an unreadable file is reported by the merged summary and the exit code while the
# rest succeed; a task cancelled mid-file leaves nothing partial, and resubmitting
# redoes only that task's missing file.
# usage: batch-on-slurm.sh SONAVEL
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/slurm-cluster.sh"
sonavel=$(realpath "$1")

fail() {
    echo "batch-on-slurm: $*" >&2
    [ -n "${SLURM_CLUSTER_DIR:-}" ] && slurm_cluster_stop
    rm -rf "$work"
    exit 1
}

# Every audio file of $1 is in $2 with the same samples, and nothing else is.
same_audio() {
    /usr/bin/python3 - "$1" "$2" <<'PY'
import sys, pathlib, soundfile, numpy
a, b = map(pathlib.Path, sys.argv[1:])
audio = lambda d: sorted(p.relative_to(d) for p in d.rglob("*") if p.suffix in (".wav", ".flac", ".aiff", ".au"))
if audio(a) != audio(b): sys.exit(f"different files: {audio(a)} / {audio(b)}")
for name in audio(a):
    x, rx = soundfile.read(a / name, always_2d=True)
    y, ry = soundfile.read(b / name, always_2d=True)
    if rx != ry or x.shape != y.shape or not numpy.array_equal(x, y): sys.exit(f"{name} differs")
PY
}

no_temporaries() {
    [ -z "$(find "$1" -name '.*.sonavel-*')" ]
}

latest_status() { # $1 manifest folder, $2 input: its last recorded status
    cat "$1"/manifest*.jsonl | grep -F "\"input\":\"$2\"" | tail -n 1 | sed 's/.*"status":"\([a-z]*\)".*/\1/'
}

work=$(mktemp -d)
trap 'fail "interrupted"' INT TERM
cd "$work" || exit 1

# 20 short files: 4 kinds of file, 4 rates, 1 to 4.5 s, in a small tree.
mkdir -p in/tape/a in/tape/b in/disc
kinds=("wav -b 16" "flac -b 24" "aiff -b 16" "wav -e floating-point -b 32")
rates=(44100 48000 22050 32000)
for i in $(seq 0 19); do
    kind=(${kinds[i % 4]})
    folder=(in/tape/a in/tape/b in/disc)
    sox -q -n -r "${rates[i % 4]}" -c $((1 + i % 2)) "${kind[@]:1}" \
        "${folder[i % 3]}/take$i.${kind[0]}" synth "$(awk "BEGIN { print 1 + $i * 0.18 }")" \
        pinknoise vol 0.3 || fail "sox cannot make the test files"
done
head -c 5000 /dev/urandom >in/disc/broken.wav

"$sonavel" batch in local -j 2 --quiet >/dev/null 2>&1
[ $? = 5 ] || fail "the local batch did not end with 5 for the broken file"

slurm_cluster_start || { status=$?; rm -rf "$work"; exit $status; }

"$sonavel" batch in cluster --slurm --shards 4 --wait --quiet >summary 2>errors
status=$?
[ $status = 5 ] || fail "the array's batch ended with $status, not 5: $(cat errors)"
grep -q "files done: 20" summary || fail "the summary does not count 20 done: $(cat summary)"
grep -q "files failed: 1" summary || fail "the summary does not count 1 failed: $(cat summary)"
grep -q "in/disc/broken.wav" summary || fail "the summary does not name the broken file"
[ "$(ls cluster/manifest.*.jsonl | wc -l)" = 4 ] || fail "not 4 manifest parts"
same_audio local cluster || fail "the cluster's outputs differ from the local batch's"

# A long file, which the balancing gives a shard of its own (shard 0, the first to take
# the longest file): that task is cancelled while it writes.
sox -q -n -r 44100 -c 2 -b 16 in/long.wav synth 240 pinknoise vol 0.3
job=$("$sonavel" batch in cancelled --slurm --shards 4 --quiet)
slurm_cluster_await 30 sh -c "find cancelled -name '.long.wav.sonavel-*' | grep -q ." ||
    fail "task 0 never started the long file"
scancel "${job}_0"
slurm_cluster_await 30 sh -c '[ -z "$(squeue -h -o %i)" ]' || fail "the array did not end"
[ ! -e cancelled/long.wav ] || fail "the long file was finished before the cancel; make it longer"
no_temporaries cancelled || fail "the cancelled task left a temporary file"
stat -c '%n %i' $(find cancelled -name 'take*') | sort >before

"$sonavel" batch in cancelled --slurm --shards 4 --wait --quiet >summary 2>errors
[ $? = 5 ] || fail "the resubmission did not end with 5"
grep -q "files done: 21" summary || fail "after resubmission not 21 done: $(cat summary)"
stat -c '%n %i' $(find cancelled -name 'take*') | sort | cmp -s - before ||
    fail "outputs of the tasks that had finished were written again"
[ "$(latest_status cancelled in/long.wav)" = done ] || fail "the long file was not redone"
[ "$(latest_status cancelled in/tape/a/take0.wav)" = skipped ] || fail "take0 was redone"
no_temporaries cancelled || fail "a temporary file remains"
[ -f cancelled/sonavel-batch.sbatch ] || fail "no job script in OUTDIR"

slurm_cluster_stop
rm -rf "$work"
echo "batch-on-slurm: passed"
