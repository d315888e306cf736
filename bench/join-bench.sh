#!/usr/bin/env bash
# Stream-copy join against its floor (cat of the same files) and ffmpeg's concat demuxer, side by
# side with hyperfine in one run, warm cache (sources), every output on the same disk as the
# sources, the dirty pages of the previous output flushed (sync) before each run:
#   big    two clips of uncompressed 640x480 video, about 1.1 GB together (OpenDML output)
#   small  two 10-minute 320x240 MPEG-4 clips with MP3 sound (about 38,000 chunks each)
# Prints each case's times, the ratios to cat and the peak memory of reelwright-cli.
#
# Usage: [RUNS=10] bench/join-bench.sh [CLI] [WORKDIR]
#   CLI      reelwright-cli of a Release build (default build-bench/bin/reelwright-cli)
#   WORKDIR  where the clips and outputs go (default /tmp/rw-join-bench; about 5 GB free needed)
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=$(realpath "${1:-build-bench/bin/reelwright-cli}")
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
  hyperfine --warmup 1 --runs "${RUNS:-10}" --prepare sync --export-json "$name.json" \
    -n cat "cat $a $b > $name-cat.out" \
    -n ffmpeg "ffmpeg -nostdin -v error -y -f concat -safe 0 -i $name.list -c copy $name-ffmpeg.avi" \
    -n reelwright "$CLI join --yes -o $name-rw.avi $a $b"
  python3 - "$name.json" <<'PY'
import json, sys
res = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
for stat in ("mean", "median"):
    r = {k: v[stat] for k, v in res.items()}
    print("%s ratios to cat: reelwright %.2f, ffmpeg %.2f" % (stat, r["reelwright"] / r["cat"], r["ffmpeg"] / r["cat"]))
PY
  echo "reelwright-cli peak memory: $(( $(peak_kib "$CLI" join --yes -o "$name-rw.avi" "$a" "$b") / 1024 )) MiB"
  rm -f "$name-cat.out" "$name-ffmpeg.avi" "$name-rw.avi"
}

make_clips
run_case big big1.avi big2.avi
run_case small small1.avi small2.avi
