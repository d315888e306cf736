#!/usr/bin/env bash
# Stream-copy join against its floor (cat of the same files, its output synced to the disk as
# the join syncs its own) and ffmpeg's concat demuxer (synced as well), warm cache for the
# sources, every output on the same disk as the sources, all dirty pages flushed (sync) before
# each command. The commands run in turn within each round (each round starting with the next
# one), so that each sees the same load:
#   big    two clips of uncompressed 640x480 video, about 1.1 GB together (OpenDML output)
#   small  two 10-minute 320x240 MPEG-4 clips with MP3 sound (about 38,000 chunks each)
# Prints each command's wall and CPU time (mean and median), the ratios to cat and the peak
# memory of reelwright-cli. With BEFORE set to another reelwright-cli (an earlier build), that
# one runs in every round too, for a before-and-after comparison.
#
# Usage: [RUNS=10] [BEFORE=CLI] [CASES="big small"] bench/join-bench.sh [CLI] [WORKDIR]
#   CLI      reelwright-cli of a Release build (default build-bench/bin/reelwright-cli)
#   WORKDIR  where the clips and outputs go (default /tmp/rw-join-bench; about 5 GB free needed)
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=$(realpath "${1:-build-bench/bin/reelwright-cli}")
BEFORE_CLI=${BEFORE:+$(realpath "$BEFORE")}
WORK=${2:-/tmp/rw-join-bench}
mkdir -p "$WORK"
cd "$WORK"

make_clips() {
  [ -f big1.avi ] || ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=640x480:rate=25 \
    -frames:v 600 -c:v rawvideo -pix_fmt bgr24 big1.avi
  [ -f big2.avi ] || cp big1.avi big2.avi
  for i in 1 2; do
    [ -f small$i.avi ] || ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25 \
      -f lavfi -i sine=frequency=$((330 * i)):sample_rate=44100 -t 600 \
      -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 128k -shortest small$i.avi
  done
}

peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

run_case() {
  local name=$1 a=$2 b=$3
  printf "file '%s'\nfile '%s'\n" "$PWD/$a" "$PWD/$b" >"$name.list"
  echo "== $name: $(du -ch "$a" "$b" | tail -1 | cut -f1) in $(ls "$a" "$b" | tr '\n' ' ')"
  cat "$a" "$b" >/dev/null  # warm the cache
  python3 - "${RUNS:-10}" "$CLI" "$BEFORE_CLI" "$name" "$a" "$b" <<'PY'
import os, resource, statistics, subprocess, sys, time
runs, cli, before, name, a, b = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], sys.argv[6]
out = lambda tag: f"{name}-{tag}.avi"
cmds = [
    ("cat", f"cat {a} {b} > {out('cat')} && sync {out('cat')}"),
    ("ffmpeg", f"ffmpeg -nostdin -v error -y -f concat -safe 0 -i {name}.list -c copy {out('ffmpeg')}"
               f" && sync {out('ffmpeg')}"),
    ("reelwright", f"{cli} join --yes -o {out('rw')} {a} {b}"),
]
if before:
    cmds.append(("before", f"{before} join --yes -o {out('before')} {a} {b}"))
wall = {k: [] for k, _ in cmds}
cpu = {k: [] for k, _ in cmds}
for round in range(runs + 1):  # the first round warms up
    # Each round starts with another command, so that none always follows the same one.
    for key, cmd in cmds[round % len(cmds):] + cmds[:round % len(cmds)]:
        subprocess.run(["sync"], check=True)
        r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        subprocess.run(["sh", "-c", cmd], check=True)
        t1 = time.perf_counter()
        r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
        if round:
            wall[key].append(t1 - t0)
            cpu[key].append(r1.ru_utime - r0.ru_utime + r1.ru_stime - r0.ru_stime)
for key, _ in cmds:
    w, c = wall[key], cpu[key]
    print("%-10s wall mean %.3f s, median %.3f s (min %.3f, max %.3f); CPU mean %.3f s" %
          (key, statistics.mean(w), statistics.median(w), min(w), max(w), statistics.mean(c)))
for key, _ in cmds[1:]:
    per_round = [x / y for x, y in zip(wall[key], wall["cat"])]
    print("%-10s ratio to cat: of means %.2f, of medians %.2f, median of the rounds' ratios %.2f; CPU %.2f" %
          (key, statistics.mean(wall[key]) / statistics.mean(wall["cat"]),
           statistics.median(wall[key]) / statistics.median(wall["cat"]),
           statistics.median(per_round), statistics.mean(cpu[key]) / statistics.mean(cpu["cat"])))
PY
  echo "reelwright-cli peak memory: $(( $(peak_kib "$CLI" join --yes -o "$name-rw.avi" "$a" "$b") / 1024 )) MiB"
  rm -f "$name"-*.avi
}

make_clips
for c in ${CASES:-big small}; do
  case $c in
    big) run_case big big1.avi big2.avi ;;
    small) run_case small small1.avi small2.avi ;;
  esac
done
