#!/usr/bin/env bash
# A copy join of ten 1-minute clips each cut at both ends (at pictures that are no key frames,
# so that each cut converts the pictures up to its next key frame) against the copy of the same
# clips uncut, with hyperfine, warm cache, the previous output flushed (sync) before each run.
# The clips: 640x360 MPEG-4 at 25 fps with MP3 sound, a key frame every GOP pictures (default
# 25: one a second, as cameras write them; ffmpeg's own default is 250). Prints the times and
# the ratio of the cut join to the uncut one (target: at most 1.5).
#
# Usage: [RUNS=5] [GOP=25] bench/cut-bench.sh [CLI] [WORKDIR]
#   CLI      reelwright-cli of a Release build (default build-bench/bin/reelwright-cli)
#   WORKDIR  where the clips and outputs go (default /tmp/rw-cut-bench; about 200 MB free needed)
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=$(realpath "${1:-build-bench/bin/reelwright-cli}")
WORK=${2:-/tmp/rw-cut-bench}
mkdir -p "$WORK"
cd "$WORK"

files=()
cuts=()
GOP=${GOP:-25}
for i in $(seq 1 10); do
  clip=clip$i-g$GOP.avi
  [ -f $clip ] || ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=frequency=$((220 + 40 * i)):sample_rate=44100 -t 60 \
    -c:v mpeg4 -q:v 4 -g "$GOP" -c:a libmp3lame -b:a 128k -avoid_negative_ts disabled $clip
  files+=("$clip")
  # From 2.3 s (picture 57, no key frame) to 57.5 s (ending on picture 1436).
  cuts+=(--cut "$i=2.3-57.5")
done
cat "${files[@]}" >/dev/null  # warm the cache
hyperfine --warmup 1 --runs "${RUNS:-5}" --prepare sync --export-json cut.json \
  -n uncut "$CLI join --yes -o uncut.avi ${files[*]}" \
  -n cut "$CLI join --yes -o cut.avi ${cuts[*]} ${files[*]}"
python3 - cut.json <<'PY'
import json, sys
res = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
for stat in ("mean", "median"):
    print("%s: cut %.2f s, uncut %.2f s, ratio %.2f" % (stat, res["cut"][stat], res["uncut"][stat],
                                                      res["cut"][stat] / res["uncut"][stat]))
PY
rm -f cut.avi uncut.avi
