#!/bin/bash
# One shard of a large zovex-render batch, as one task of a Slurm job array:
#
#   sbatch --array=0-39 /usr/share/zovex/zovex-render-array.sbatch --size 25000 [--from I] [OPTIONS]
#
# Task i renders patterns I + i*SIZE ... I + i*SIZE + SIZE - 1 (I defaults to 1) on one core into
# shard-i/ in the folder sbatch was called from, and lists them in shard-i.tsv. OPTIONS go to
# zovex-render as they are (--category, --state, --format, --scale, --line-width, --draw-mode,
# --text2/3/4). Every file is written whole; shard-i.tsv appears only once the whole shard is
# there, so a shard without its list did not finish. A task that failed or was cancelled can
# simply be submitted again (sbatch --array=i ...): it writes the same files over what it left.
#SBATCH --job-name=zovex-render
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --output=zovex-render-%A_%a.log
set -euo pipefail

me=zovex-render-array
usage="usage: sbatch --array=0-N $me.sbatch --size SIZE [--from I] [zovex-render options]"
size='' from=1 pass=()
while [ $# -gt 0 ]; do
  case $1 in
    --size | --from)
      [ $# -ge 2 ] || { echo "$me: $1 needs a value" >&2; exit 2; }
      opt=$1 value=$2
      shift 2 ;;
    --size=* | --from=*)
      opt=${1%%=*} value=${1#*=}
      shift ;;
    --count | --count=* | --out | --out=* | --jobs | --jobs=*)
      echo "$me: ${1%%=*} is set by the shard (--size gives each shard's count, the folder is shard-TASK)" >&2
      exit 2 ;;
    --help | -h)
      echo "$usage"; exit 0 ;;
    *)
      pass+=("$1"); shift; continue ;;
  esac
  [[ $value =~ ^[1-9][0-9]{0,9}$ ]] || { echo "$me: $opt must be a whole number from 1, not '$value'" >&2; exit 2; }
  case $opt in --size) size=$value ;; --from) from=$value ;; esac
done
[ -n "$size" ] || { echo "$me: --size is missing" >&2; echo "$usage" >&2; exit 2; }
task=${SLURM_ARRAY_TASK_ID:-}
[[ $task =~ ^[0-9]+$ ]] || { echo "$me: no array task id: submit with sbatch --array (or set SLURM_ARRAY_TASK_ID)" >&2; exit 2; }
first=$((from + task * size))

# One core a task unless the job asked for more; the renderer's output does not depend on it.
jobs=${SLURM_CPUS_PER_TASK:-1}
shard=shard-$task
list=$shard.tsv
# A list from an earlier run of this shard no longer says the folder is complete.
rm -f -- "$list"
part=.$list.$(hostname).$$.part
trap 'rm -f -- "$part"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP
echo "$me: task $task renders patterns $first to $((first + size - 1)) into $shard/ on $(hostname)" >&2
zovex-render "${pass[@]}" --from "$first" --count "$size" --jobs "$jobs" --out "$shard" >"$part"
sync -- "$part"
mv -f -- "$part" "$list"
trap - EXIT
echo "$me: task $task done" >&2
