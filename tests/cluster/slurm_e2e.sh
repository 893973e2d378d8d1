#!/usr/bin/env bash
# The packaged Slurm job-array script on a one-node cluster of the test's own: a munge key made
# here, munged, slurmctld and slurmd for localhost on free ports of 127.0.0.1, their
# configuration, state and spool in a temporary folder, all stopped at the end. The README's
# sbatch line is run as written; one task is cancelled while it runs and submitted again; the
# README's check passes and the union of the shards is byte for byte one sequential run.
# usage: slurm_e2e.sh ZOVEX_RENDER README ARRAY_SCRIPT
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/cluster_lib.sh"
built_renderer=$(realpath "$1") readme=$(realpath "$2") array_script=$(realpath "$3")

[ -x "$array_script" ] || die "$array_script is not executable"

# What the script refuses, before any cluster: options the shard sets itself, a bad or missing
# size, and a run outside an array task. None of them may leave a list behind.
work=$(mktemp -d "${TMPDIR:-/tmp}/zovex-slurm-e2e.XXXXXX")
install_renderer "$built_renderer"
while IFS='|' read -r task args message; do
  rc=0
  (cd "$work" && env -u SLURM_ARRAY_TASK_ID ${task:+SLURM_ARRAY_TASK_ID=$task} PATH="$work/bin:$PATH" "$array_script" $args) \
    >/dev/null 2>"$work/refused.log" || rc=$?
  [ $rc -eq 2 ] || die "the script given '$args' exited $rc, not 2"
  grep -qF -- "$message" "$work/refused.log" || die "the script given '$args' said: $(cat "$work/refused.log")"
  [ -z "$(ls -A "$work" | grep '\.tsv$')" ] || die "the script given '$args' left a list"
done <<'CASES'
1|--size 3 --count 2|--count is set by the shard
1|--size 3 --out elsewhere|--out is set by the shard
1|--jobs=2 --size 3|--jobs is set by the shard
1|--size|--size needs a value
1|--size 0|--size must be a whole number from 1
1|--size=3x|--size must be a whole number from 1
1|--size 3 --from -4|--from must be a whole number from 1
1|--category 2|--size is missing
|--size 3|no array task id
1|--size 3 --category 11|--category must be a whole number from 1 to 10
CASES
rm -rf "$work"

skip_unless_root "munged, slurmctld and slurmd of its own"
skip_unless_commands /usr/sbin/munged /usr/sbin/slurmctld /usr/sbin/slurmd munge unmunge mungekey sbatch squeue sinfo scontrol scancel ss

shards=6 size=150
started=$SECONDS
work=$(mktemp -d "${TMPDIR:-/tmp}/zovex-slurm-e2e.XXXXXX")
chmod 755 "$work"
install_renderer "$built_renderer"
state=$work/slurm
mkdir -p "$work/munge" "$state/state" "$state/spool" "$work/batch"
chmod 700 "$work/munge"

# munge: a key of the test's own and a socket in its folder.
mungekey --create --keyfile="$work/munge/munge.key" --bits=1024
chmod 600 "$work/munge/munge.key"
socket=$work/munge/munge.socket
/usr/sbin/munged --foreground --force --key-file="$work/munge/munge.key" --socket="$socket" \
  --pid-file="$work/munge/munged.pid" --log-file="$work/munge/munged.log" \
  --seed-file="$work/munge/munged.seed" 2>>"$work/munge/munged.stderr" &
remember_pid $!
munged_pid=$!
munge_ready() {
  kill -0 "$munged_pid" 2>/dev/null || die "munged ended: $(cat "$work/munge/munged.stderr" "$work/munge/munged.log" 2>/dev/null)"
  [ -S "$socket" ] && munge --socket="$socket" -n </dev/null | unmunge --socket="$socket" >/dev/null 2>&1
}
wait_until 20 "munged to answer" munge_ready

# Slurm: one node, localhost, with the cores of this machine; nothing outside 127.0.0.1.
ctld_port=$(free_port)
until d_port=$(free_port) && [ "$d_port" != "$ctld_port" ]; do :; done
node=$(slurmd -C | head -1 | sed 's/^NodeName=[^ ]*/NodeName=localhost NodeAddr=127.0.0.1/; s/ RealMemory=[0-9]*//')
export SLURM_CONF=$state/slurm.conf
# Job steps outlive a slurmd that is stopped under them; they carry this in their environment.
at_end 'stop_by_environment "SLURM_CONF=$SLURM_CONF"'
cat >"$SLURM_CONF" <<EOF
ClusterName=zovexe2e
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$d_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
CommunicationParameters=NoInAddrAny,NoCtldInAddrAny
StateSaveLocation=$state/state
SlurmdSpoolDir=$state/spool
SlurmctldPidFile=$state/slurmctld.pid
SlurmdPidFile=$state/slurmd.pid
SlurmctldLogFile=$state/slurmctld.log
SlurmdLogFile=$state/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
MinJobAge=600
KillWait=5
MailProg=/bin/true
$node State=UNKNOWN
PartitionName=zovex Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF

/usr/sbin/slurmctld -D -i -f "$SLURM_CONF" 2>>"$state/slurmctld.stderr" &
remember_pid $!
ctld_pid=$!
ctld_ready() {
  kill -0 "$ctld_pid" 2>/dev/null || die "slurmctld ended: $(tail -20 "$state/slurmctld.log" "$state/slurmctld.stderr" 2>/dev/null)"
  scontrol ping 2>/dev/null | grep -q 'is UP'
}
wait_until 60 "slurmctld to answer" ctld_ready

/usr/sbin/slurmd -D -N localhost -f "$SLURM_CONF" 2>>"$state/slurmd.stderr" &
remember_pid $!
slurmd_pid=$!
# Before the daemons stop: cancel what is left of the test's jobs and wait for their steps.
at_exit 'cancel_all'
cancel_all() {
  local deadline=$((SECONDS + 30))
  scancel --full --quiet $(squeue -h -o %A 2>/dev/null) 2>/dev/null || true
  while [ -n "$(squeue -h -o %A 2>/dev/null)" ] && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
}
node_idle() {
  kill -0 "$slurmd_pid" 2>/dev/null || die "slurmd ended: $(tail -20 "$state/slurmd.log" "$state/slurmd.stderr" 2>/dev/null)"
  sinfo -h -n localhost -o %T 2>/dev/null | grep -qx idle
}
wait_until 60 "the node to be idle" node_idle
note "one-node cluster up: slurmctld on 127.0.0.1:$ctld_port, slurmd on 127.0.0.1:$d_port"

# The same batch in one sequential run.
mkdir "$work/seq"
(cd "$work/seq" && "$renderer" --category 1 --count $((shards * size)) --jobs 1 --format png --out seq >seq.tsv)

# The README's line, with the test's batch and the packaged script where the package puts it.
installed=/usr/share/zovex/zovex-render-array.sbatch
submit=$(recipe_with_settings "$readme" "zovex-cluster: slurm recipe" "shards=$shards size=$size")
grep -qF "$installed" <<<"$submit" || die "the README's sbatch line does not run $installed"
submit=${submit//$installed/$array_script}
check=$(recipe_with_settings "$readme" "zovex-cluster: check shards" "shards=$shards size=$size")
run_here() { (cd "$work/batch" && PATH="$work/bin:$PATH" bash -c "$1"); }

out=$(run_here "$submit") || die "sbatch failed: $out"
job=$(sed -n 's/^Submitted batch job \([0-9]*\)$/\1/p' <<<"$out")
[ -n "$job" ] || die "sbatch said: $out"
note "job array $job submitted"

# Cancel task 3 once it has written part of its shard.
victim=3
victim_running() {
  [ "$(ls "$work/batch/shard-$victim" 2>/dev/null | wc -l)" -ge 10 ] && return 0
  [ -n "$(squeue -h -j "${job}_$victim" -o %A 2>/dev/null)" ] || die "task $victim ended before it could be cancelled"
  return 1
}
wait_until 180 "task $victim to write its first files" victim_running
scancel "${job}_$victim"
note "cancelled task $victim after it wrote $(ls "$work/batch/shard-$victim" | wc -l) files"

job_done() { [ -z "$(squeue -h -j "$1" -o %A 2>/dev/null)" ]; }
wait_until 300 "job $job to finish" job_done "$job"
task_states() { scontrol -o show job "$1" | sed -n 's/.*ArrayTaskId=\([0-9]*\) .*JobState=\([A-Z_]*\) .*/\1 \2/p' | sort -n; }
states=$(task_states "$job")
expected=$(for ((i = 0; i < shards; i++)); do [ $i -eq $victim ] && echo "$i CANCELLED" || echo "$i COMPLETED"; done)
[ "$states" = "$expected" ] || die "the tasks ended as: $states"
[ ! -e "$work/batch/shard-$victim.tsv" ] || die "the cancelled task left its list, as if the shard were complete"
leftovers=$(ls -A "$work/batch" | grep '\.part$' || true)
[ -z "$leftovers" ] || die "the cancelled task left $leftovers"
run_here "$check" >"$work/check1.log" 2>&1 && die "the check passed over a cancelled shard"
grep -qx "shard $victim has no list" "$work/check1.log" || die "the check did not name the cancelled shard: $(cat "$work/check1.log")"

# Submit the cancelled task again, as the README says.
out=$(run_here "${submit/--array=0-\$((shards - 1))/--array=$victim}") || die "sbatch failed: $out"
job2=$(sed -n 's/^Submitted batch job \([0-9]*\)$/\1/p' <<<"$out")
[ -n "$job2" ] || die "sbatch said: $out"
wait_until 300 "job $job2 to finish" job_done "$job2"
[ "$(task_states "$job2")" = "$victim COMPLETED" ] || die "the task submitted again ended as: $(task_states "$job2")"

run_here "$check" >"$work/check2.log" 2>&1 || { cat "$work/check2.log" >&2; die "the README's check failed"; }
grep -qx "all $shards shards check out" "$work/check2.log" || die "the check said: $(cat "$work/check2.log")"
rm -rf "$work/batch/check" "$work/batch/check.tsv"
mkdir "$work/logs"
mv "$work/batch"/zovex-render-*.log "$work/logs/"
same_as_sequential "$work/batch" "$work/seq/seq" "$work/seq/seq.tsv" $shards
extra=$(ls -A "$work/batch" | grep -vE '^shard-[0-9]+(\.tsv)?$' || true)
[ -z "$extra" ] || die "the jobs left $extra"
grep -q "task $victim renders patterns $((victim * size + 1)) to $((victim * size + size))" \
  "$work/logs/zovex-render-${job2}_$victim.log" || die "the task's log does not say what it rendered"

note "wall time of the end-to-end run: $((SECONDS - started)) s"
echo "PASS: the job array on a one-node Slurm cluster gives the sequential run's $((shards * size)) files"
