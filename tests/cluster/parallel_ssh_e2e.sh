#!/usr/bin/env bash
# The README's GNU parallel recipe, run as written over ssh to two machines, and the README's
# check over what came back.
#
# The two machines are two OpenSSH servers of the test's own on 127.0.0.1, each in a mount
# namespace where the login's home folder is a folder of the test's, so that each job really
# writes on "its machine" and the shards only reach the test's folder by --return. Host and user
# keys are made here; the renderer is the one built here, on the logins' PATH. One shard's job
# is killed while it runs, and running the recipe again must make that shard whole. The union
# of the shards must be byte for byte one sequential run.
# usage: parallel_ssh_e2e.sh ZOVEX_RENDER README
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/cluster_lib.sh"
built_renderer=$(realpath "$1") readme=$(realpath "$2")

skip_unless_root "OpenSSH servers of its own in mount namespaces"
skip_unless_commands /usr/sbin/sshd ssh ssh-keygen parallel rsync unshare ss perl
unshare --mount true 2>/dev/null || skip "cannot make a mount namespace here (unshare --mount)"

shards=6 size=150
started=$SECONDS
work=$(mktemp -d "${TMPDIR:-/tmp}/zovex-parallel-e2e.XXXXXX")
chmod 755 "$work"
install_renderer "$built_renderer"
user=$(id -un)
user_home=$(getent passwd "$user" | cut -d: -f6)
[ -d "$user_home" ] || skip "the login's home folder $user_home does not exist"

# sshd wants its privilege-separation folder; make it only if missing, and remove it then.
if [ ! -d /run/sshd ]; then
  mkdir -m 755 /run/sshd
  at_exit 'rmdir /run/sshd'
fi

ssh-keygen -q -t ed25519 -N '' -C zovex-e2e-host -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -C zovex-e2e-user -f "$work/user_key"
cp "$work/user_key.pub" "$work/authorized_keys"
: >"$work/known_hosts"
ssh_config=$work/ssh_config
{
  echo "Host *"
  echo "  HostName 127.0.0.1"
  echo "  User $user"
  echo "  IdentityFile $work/user_key"
  echo "  IdentitiesOnly yes"
  echo "  UserKnownHostsFile $work/known_hosts"
  echo "  GlobalKnownHostsFile /dev/null"
  echo "  StrictHostKeyChecking yes"
  echo "  BatchMode yes"
  echo "  ConnectTimeout 10"
  echo "  ControlMaster no"
  echo "  ControlPath none"
  echo "  ForwardAgent no"
} >"$ssh_config.tail"

# start_machine NAME: an sshd on a free port of 127.0.0.1 whose logins find $work/NAME as home.
start_machine() {
  local name=$1 port tries=0 pid
  mkdir -m 700 "$work/$name"
  while :; do
    port=$(free_port)
    cat >"$work/sshd_$name.conf" <<EOF
ListenAddress 127.0.0.1:$port
HostKey $work/host_key
PidFile none
AuthorizedKeysFile $work/authorized_keys
AuthenticationMethods publickey
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
AllowUsers $user
UsePAM no
StrictModes no
X11Forwarding no
AllowTcpForwarding no
AllowAgentForwarding no
PermitTTY no
SetEnv PATH=$work/bin:/usr/local/bin:/usr/bin:/bin
LogLevel VERBOSE
EOF
    # The namespace lives as long as sshd, which the unshare'd shell becomes.
    unshare --mount --propagation private sh -c \
      'mount --bind "$1" "$2" && exec /usr/sbin/sshd -D -e -f "$3"' _ \
      "$work/$name" "$user_home" "$work/sshd_$name.conf" 2>>"$work/sshd_$name.log" &
    pid=$!
    remember_pid "$pid"
    local deadline=$((SECONDS + 20))
    while kill -0 "$pid" 2>/dev/null && ! listening "$port" && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    if listening "$port" && kill -0 "$pid" 2>/dev/null; then
      # Its sessions and their jobs live in its namespace: at the end they go with it.
      at_exit "stop_namespace $pid '$(readlink "/proc/$pid/ns/mnt")'"
      break
    fi
    stop_pid "$pid"
    tries=$((tries + 1))
    [ $tries -lt 5 ] || { cat "$work/sshd_$name.log" >&2; die "sshd for $name did not start"; }
  done
  printf 'Host %s\n  Port %s\n' "$name" "$port" >>"$ssh_config.head"
  echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$work/host_key.pub")" >>"$work/known_hosts"
  note "machine $name: sshd pid $pid on 127.0.0.1:$port, home $work/$name"
}
: >"$ssh_config.head"
start_machine host1
start_machine host2
cat "$ssh_config.head" "$ssh_config.tail" >"$ssh_config"

for h in host1 host2; do
  got=$(ssh -F "$ssh_config" "$h" 'echo "$PWD $(command -v zovex-render)"') || die "cannot log in to $h"
  [ "$got" = "$user_home $renderer" ] || die "a login to $h is in '$got', expected '$user_home $renderer'"
  [ ! -e "$work/$h/.zovex-probe" ] || die "stale probe"
  ssh -F "$ssh_config" "$h" 'touch .zovex-probe'
  [ -e "$work/$h/.zovex-probe" ] || die "a login to $h does not write into its own home folder"
  rm "$work/$h/.zovex-probe"
done

# The same batch in one sequential run, here.
mkdir "$work/seq"
(cd "$work/seq" && "$renderer" --category 1 --count $((shards * size)) --jobs 1 --format png --out seq >seq.tsv)

# The recipe, with the test's logins and a small batch. parallel's ssh is the one that reads the
# test's configuration; parallel keeps its own files in a home of the test's.
recipe=$(recipe_with_settings "$readme" "zovex-cluster: parallel recipe" \
  "logins=2/$user@host1,2/$user@host2 shards=$shards size=$size")
check=$(recipe_with_settings "$readme" "zovex-cluster: check shards" "shards=$shards size=$size")
mkdir "$work/batch" "$work/local-home"
run_here() {
  (cd "$work/batch" && env HOME="$work/local-home" PARALLEL_SSH="ssh -F $ssh_config" PATH="$work/bin:$PATH" \
    bash -c "$1")
}

# First run: kill one shard's job on its machine once it has written part of its files.
victim=3 victim_from=$((3 * size + 1))
# In a process group of its own, so that an interrupted test ends parallel and its ssh clients too.
(cd "$work/batch" && exec setsid env HOME="$work/local-home" PARALLEL_SSH="ssh -F $ssh_config" \
  PATH="$work/bin:$PATH" bash -c "$recipe") >"$work/run1.log" 2>&1 &
run1=$!
at_exit "kill -TERM -- -$run1 2>/dev/null"
remember_pid "$run1"
victim_written() {
  local pid
  for pid in $(renderer_pids_from $victim_from); do
    # Only a job on one of the two machines: its login gave it SSH_CONNECTION.
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -q '^SSH_CONNECTION=' || continue
    [ "$(ls "/proc/$pid/cwd/shard-$victim" 2>/dev/null | wc -l)" -ge 10 ] || continue
    victim_pid=$pid
    return 0
  done
  kill -0 "$run1" 2>/dev/null ||
    die "the recipe ended before shard $victim's job could be killed: $(cat "$work/run1.log" "$work/batch/shards.log" 2>&1)"
  return 1
}
wait_until 120 "shard $victim's job to write its first files" victim_written
kill -KILL "$victim_pid"
note "killed shard $victim's renderer (pid $victim_pid) after it wrote some files"
rc=0
wait "$run1" || rc=$?
[ $rc -eq 1 ] || { cat "$work/run1.log" >&2; die "parallel exited $rc with one job killed, not 1"; }
awk -F'\t' -v v=$victim 'NR > 1 && $7 != 0 { bad = bad " " $NF } END { print bad }' "$work/batch/shards.log" \
  | grep -q "shard-$victim.tsv" || die "shards.log does not show shard $victim as failed"
n=$(wc -l <"$work/batch/shard-$victim.tsv")
[ "$n" -lt $size ] || die "the killed shard listed all its $n patterns"
run_here "$check" >"$work/check1.log" 2>&1 && die "the check passed over a killed shard"
grep -q "is missing or listed twice\|of $((shards * size)) patterns" "$work/check1.log" \
  || die "the check did not name the patterns missing from the killed shard: $(cat "$work/check1.log")"

# Run the same recipe again: only the killed shard runs, and makes it whole.
run_here "$recipe" >"$work/run2.log" 2>&1 || { cat "$work/run2.log" >&2; die "the second run failed"; }
[ "$(awk 'NR > 1' "$work/batch/shards.log" | wc -l)" -eq $((shards + 1)) ] \
  || die "the second run did not run exactly the failed shard again: $(cat "$work/batch/shards.log")"

run_here "$check" >"$work/check2.log" 2>&1 || { cat "$work/check2.log" >&2; die "the README's check failed"; }
grep -qx "all $shards shards check out" "$work/check2.log" || die "the check said: $(cat "$work/check2.log")"
rm -rf "$work/batch/check" "$work/batch/check.tsv"

same_as_sequential "$work/batch" "$work/seq/seq" "$work/seq/seq.tsv" $shards
# Both machines took jobs, and kept nothing of them.
for h in host1 host2; do
  grep -q "$h" "$work/batch/shards.log" || die "no job ran on $h"
  left=$(find "$work/$h" -name 'shard-*' | head -3)
  [ -z "$left" ] || die "the jobs left $left on $h"
done

note "wall time of the end-to-end run: $((SECONDS - started)) s"
echo "PASS: the recipe over two ssh machines gives the sequential run's $((shards * size)) files"
