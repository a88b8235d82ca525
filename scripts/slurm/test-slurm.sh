#!/usr/bin/env bash
# Runs scripts/slurm/index-array.sbatch on a Slurm cluster of one node made
# for the purpose: installs Slurm (Debian's slurm-wlm) when it is missing,
# starts slurmctld and slurmd with a minimal configuration in a temporary
# folder, submits the array job over generated videos, waits for the final
# step and checks the joined project. Not part of scripts/test.sh; needs root
# (apt-get, and slurmd starts the jobs' processes).
#
#   scripts/slurm/test-slurm.sh [PARTS]    (default: 3 parts)
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"
parts="${1:-3}"
build="${OMBRELO_BUILD_DIR:-build}"

if ! command -v slurmctld >/dev/null || ! command -v slurmd >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends slurm-wlm
fi
OMBRELO_TARGETS="ombrelo-index ombrelo-testvideo" scripts/build.sh
index="$root/$build/app/indexer/ombrelo-index"
testvideo="$root/$build/tools/testvideo/ombrelo-testvideo"

tmp="$(mktemp -d "${TMPDIR:-/tmp}/ombrelo-slurm-XXXXXX")"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [[ "${OMBRELO_KEEP:-}" == 1 ]]; then echo "kept $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT

# Free ports for the controller and the node daemon.
free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
node="$(hostname -s)"
mkdir -p "$tmp/state" "$tmp/spool" "$tmp/work" "$tmp/videos/sub"
cat >"$tmp/slurm.conf" <<CONF
ClusterName=ombrelotest
SlurmctldHost=$node
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=$(id -un)
SlurmdUser=root
AuthType=auth/none
CredType=cred/none
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/slurmctld.log
SlurmdLogFile=$tmp/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
MpiDefault=none
SwitchType=switch/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
JobCompType=jobcomp/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
NodeName=$node CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$tmp/slurm.conf"

slurmctld -D -i -f "$SLURM_CONF" >"$tmp/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" -N "$node" >"$tmp/slurmd.out" 2>&1 &
pids+=($!)
for _ in $(seq 60); do
  if sinfo -h -o '%T' 2>/dev/null | grep -qE '^(idle|mixed)'; then break; fi
  kill -0 "${pids[@]}" 2>/dev/null || break  # a daemon has ended
  sleep 1
done
if ! sinfo -h -o '%T' | grep -qE '^(idle|mixed)'; then
  echo "test-slurm: the node did not come up" >&2
  tail -n 20 "$tmp/slurmctld.log" "$tmp/slurmd.log" "$tmp/slurmctld.out" "$tmp/slurmd.out" >&2 || true
  exit 1
fi

# A small collection: seven short frame-numbered videos in two folders.
for name in a b c d sub/e sub/f sub/g; do
  "$testvideo" --size 160x120 --fps 25 --seconds 3 "$tmp/videos/$name.mp4" >/dev/null
done

cd "$tmp"
job="$(OMBRELO_INDEX="$index" sbatch --parsable --array="1-$parts" --cpus-per-task=1 \
  "$root/scripts/slurm/index-array.sbatch" "$tmp/work" --out "$tmp/out" --start-after 0 --every 1 \
  --no-index-photo "$tmp/videos")"
echo "submitted array job $job ($parts tasks)"
for _ in $(seq 300); do
  [[ -f "$tmp/work/index.obx" ]] && ! squeue -h | grep -q . && break
  sleep 1
done
cat "$tmp"/ombrelo-index-*.log
[[ -f "$tmp/work/index.obx" ]] || { echo "test-slurm: no joined project" >&2; exit 1; }

# Every video once in the joined project, done, with its three thumbnails
# (0, 1 and 2 s in), and each part's project present.
for ((k = 1; k <= parts; k++)); do
  [[ -f "$tmp/work/part-$k.obx" ]] || { echo "test-slurm: part $k missing" >&2; exit 1; }
done
count() { grep -o "$1" "$tmp/work/index.obx" | wc -l; }
movies="$(count '<moviefile>')"
done_count="$(count '<movie><status>2</status>')"
images="$(count '<image>')"
if [[ "$movies" != 7 || "$done_count" != 7 || "$images" != 21 ]]; then
  echo "test-slurm: the joined project has $movies movies, $done_count done, $images images" >&2
  exit 1
fi
for name in a b c d e f g; do
  grep -q "<path>$tmp/videos/\(sub/\)\?$name.mp4</path>" "$tmp/work/index.obx" ||
    { echo "test-slurm: $name.mp4 is not in the joined project" >&2; exit 1; }
done
echo "test-slurm: passed ($parts parts, 7 videos, 21 thumbnails, one joined project)"
