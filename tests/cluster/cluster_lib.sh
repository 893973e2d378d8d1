# Shared by the cluster end-to-end tests: skipping, bounded waits, the daemons a test starts and
# always stops, the README's shell blocks, and the identity check of a sharded batch.
# Sourced by bash scripts that `set -euo pipefail`.

readonly SKIP=77

skip() { echo "SKIP: $*"; exit "$SKIP"; }
die() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "-- $*"; }

# skip_unless_root WHY: the daemons and namespaces below need root.
skip_unless_root() { [ "$(id -u)" -eq 0 ] || skip "needs root ($1)"; }

# skip_unless_commands CMD...: names the Debian packages in the message.
skip_unless_commands() {
  local missing=() c
  for c in "$@"; do
    command -v "$c" >/dev/null 2>&1 || [ -x "$c" ] || missing+=("$c")
  done
  [ ${#missing[@]} -eq 0 ] || skip "missing ${missing[*]} (install the packages of scripts/packages.txt)"
}

# The processes this test started, stopped at exit whatever happens: TERM, then KILL after a
# deadline. Only these pids, never by name.
started_pids=()
cleanup_steps=()
final_steps=()
remember_pid() { started_pids+=("$1"); }
# at_exit CMD: before the processes above stop; at_end CMD: after them.
at_exit() { cleanup_steps+=("$1"); }
at_end() { final_steps+=("$1"); }

# stop_by_environment NAME=VALUE: TERM, then KILL, every process but this shell whose
# environment has NAME=VALUE (a value only this test gave, such as its own configuration path).
pids_with_environment() {
  local p vars v
  for p in /proc/[0-9]*; do
    [ "${p#/proc/}" != $$ ] || continue
    mapfile -d "" vars 2>/dev/null <"$p/environ" || continue
    for v in "${vars[@]}"; do
      [ "$v" = "$1" ] && { echo "${p#/proc/}"; break; }
    done
  done
  return 0
}
stop_by_environment() {
  local left deadline
  left=$(pids_with_environment "$1")
  [ -n "$left" ] || return 0
  echo "-- stopping what was left of the test's processes: $left" >&2
  kill -TERM $left 2>/dev/null || true
  deadline=$((SECONDS + 10))
  while [ -n "$(pids_with_environment "$1")" ] && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
  left=$(pids_with_environment "$1")
  [ -z "$left" ] || kill -KILL $left 2>/dev/null || true
}

stop_pid() {
  local pid=$1 deadline=$((SECONDS + ${2:-15}))
  kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "-- pid $pid did not stop on TERM, killing it" >&2
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
}

run_cleanup() {
  local rc=$? i
  trap - EXIT INT TERM HUP
  for ((i = ${#cleanup_steps[@]} - 1; i >= 0; i--)); do
    eval "${cleanup_steps[i]}" || true
  done
  for ((i = ${#started_pids[@]} - 1; i >= 0; i--)); do
    stop_pid "${started_pids[i]}"
  done
  for ((i = 0; i < ${#final_steps[@]}; i++)); do
    eval "${final_steps[i]}" || true
  done
  if [ -n "${work:-}" ] && [ -d "$work" ]; then
    if [ -n "${ZOVEX_E2E_KEEP:-}" ]; then echo "-- kept $work"; else rm -rf "$work"; fi
  fi
  exit "$rc"
}
trap run_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# stop_namespace PID NS: stops PID, then every process left in mount namespace NS (which only
# PID's children share), TERM first and KILL past a deadline.
pids_in_namespace() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/ns/mnt" 2>/dev/null)" = "$1" ] && echo "${p#/proc/}"
  done
  return 0
}
stop_namespace() {
  local pid=$1 ns=$2 left deadline
  stop_pid "$pid"
  [ "$ns" != "$(readlink /proc/self/ns/mnt)" ] || return 0
  left=$(pids_in_namespace "$ns")
  [ -n "$left" ] || return 0
  kill -TERM $left 2>/dev/null || true
  deadline=$((SECONDS + 10))
  while [ -n "$(pids_in_namespace "$ns")" ] && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
  left=$(pids_in_namespace "$ns")
  [ -z "$left" ] || kill -KILL $left 2>/dev/null || true
}

# wait_until SECONDS WHAT CMD...: polls CMD until it succeeds; fails the test past the deadline.
wait_until() {
  local limit=$1 what=$2 deadline
  shift 2
  deadline=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || die "gave up after ${limit}s waiting for $what"
    sleep 0.05
  done
}

# A TCP port on 127.0.0.1 that nothing listens on now. The daemon that takes it may still lose
# a race; callers start it and check that it listens.
free_port() {
  local port tries=0
  while [ $tries -lt 200 ]; do
    port=$((20000 + RANDOM % 40000))
    if ! ss -Htln "sport = :$port" | grep -q .; then echo "$port"; return 0; fi
    tries=$((tries + 1))
  done
  die "no free port on 127.0.0.1"
}
listening() { ss -Htln "src 127.0.0.1 and sport = :$1" | grep -q .; }

# readme_block README MARKER: the body of the fenced block that follows the line
# "<!-- MARKER -->" in the README.
readme_block() {
  awk -v marker="<!-- $2 -->" '
    $0 == marker { found = 1; next }
    found == 1 && /^```/ { found = 2; next }
    found == 2 && /^```/ { exit }
    found == 2 { print }' "$1"
}

# recipe_with_settings README MARKER SETTINGS: the README block with its first line, which sets
# the variables the user adapts, replaced by SETTINGS (for the same variables).
recipe_with_settings() {
  local block first want got
  block=$(readme_block "$1" "$2")
  [ -n "$block" ] || die "README.md has no block after <!-- $2 -->"
  first=${block%%$'\n'*}
  [[ $first =~ ^([a-z]+=[^\ ]+\ *)+$ ]] || die "the first line of block $2 sets no variables: $first"
  got=$(tr ' ' '\n' <<<"$first" | sed -n 's/=.*//p' | sort | tr '\n' ' ')
  want=$(tr ' ' '\n' <<<"$3" | sed -n 's/=.*//p' | sort | tr '\n' ' ')
  [ "$got" = "$want" ] || die "block $2 sets '$got', the test expected '$want'"
  printf '%s\n%s\n' "$3" "${block#*$'\n'}"
}

# same_as_sequential DIR SEQ_DIR SEQ_TSV SHARDS: the shards in DIR (shard-I/ and shard-I.tsv)
# hold exactly the files of the sequential run, byte for byte, and their lines are its lines
# but for the folder; no other file is left in a shard folder.
same_as_sequential() {
  local dir=$1 seq_dir=$2 seq_tsv=$3 shards=$4 i f
  for ((i = 0; i < shards; i++)); do
    [ -f "$dir/shard-$i.tsv" ] || die "shard $i has no list"
  done
  diff <(for ((i = 0; i < shards; i++)); do cat "$dir/shard-$i.tsv"; done | awk -F'\t' -v OFS='\t' '{ sub(".*/", "", $3); print }') \
       <(awk -F'\t' -v OFS='\t' '{ sub(".*/", "", $3); print }' "$seq_tsv") >/dev/null \
    || die "the shards' lines differ from the sequential run's"
  diff <(for ((i = 0; i < shards; i++)); do ls -A "$dir/shard-$i"; done | sort) <(ls -A "$seq_dir" | sort) \
    || die "the shard folders do not hold the sequential run's files (< shards, > sequential)"
  for ((i = 0; i < shards; i++)); do
    for f in "$dir/shard-$i"/*; do
      cmp -s "$f" "$seq_dir/${f##*/}" || die "$f differs from the sequential run's"
    done
  done
}

# The renderer the jobs find on their PATH: a copy of the one built here, so that the test can
# tell its own processes by their executable.
install_renderer() {
  mkdir -p "$work/bin"
  cp "$1" "$work/bin/zovex-render"
  renderer=$work/bin/zovex-render
}

# Pids of the renderers of this test now running whose command line has --from N.
# Builtins only: the scan runs many times a second on a busy machine.
renderer_pids_from() {
  local p args
  for p in /proc/[0-9]*; do
    [[ $p/exe -ef $renderer ]] 2>/dev/null || continue
    mapfile -d "" args 2>/dev/null <"$p/cmdline" || continue
    [[ " ${args[*]} " == *" --from $1 "* ]] && echo "${p#/proc/}"
  done
  return 0
}
