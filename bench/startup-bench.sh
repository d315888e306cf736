#!/usr/bin/env bash
# What one reelwright-cli process costs when it needs no media engine, process start included:
# `reelwright-cli info` on one small clip against `ffprobe -show_format -show_streams` on the
# same file, and `reelwright-cli --help`, side by side with hyperfine (no shell in between,
# warm cache). Prints the times, the ratio of info to ffprobe and the shared libraries each
# run loads.
#
# Usage: bench/startup-bench.sh [CLI] [WORKDIR]
#   CLI      reelwright-cli of a Release build (default build-bench/bin/reelwright-cli)
#   WORKDIR  where the clip goes (default /tmp/rw-startup-bench)
# RUNS (default 100) sets the runs per command.
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=$(realpath "${1:-build-bench/bin/reelwright-cli}")
WORK=${2:-/tmp/rw-startup-bench}
RUNS=${RUNS:-100}
mkdir -p "$WORK"
cd "$WORK"

# Two seconds of 320x240 MPEG-4 with 16-bit stereo sound.
[ -f clip.avi ] || ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=44100 -t 2 -c:v mpeg4 -c:a pcm_s16le clip.avi

libraries() { LD_DEBUG=libs "$@" 2>&1 >/dev/null | grep -c 'calling init:'; }
echo "shared libraries started: reelwright-cli info $(libraries "$CLI" info clip.avi)," \
  "--help $(libraries "$CLI" --help), compressors $(libraries "$CLI" compressors)," \
  "ffprobe $(libraries ffprobe -v error -show_format -show_streams clip.avi)"

hyperfine -N --warmup 10 --runs "$RUNS" --export-json startup.json \
  -n info "$CLI info clip.avi" \
  -n ffprobe "ffprobe -v error -show_format -show_streams clip.avi" \
  -n help "$CLI --help"
python3 - startup.json <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
for stat in ("mean", "median"):
    ms = lambda n: r[n][stat] * 1000
    print("%-6s info %.2f ms, ffprobe %.2f ms, --help %.2f ms; info / ffprobe = %.3f" %
          (stat, ms("info"), ms("ffprobe"), ms("help"), r["info"][stat] / r["ffprobe"][stat]))
PY
