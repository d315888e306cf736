#!/usr/bin/env bash
# Converting only the file that differs against its two alternatives, side by side in one
# hyperfine run, warm cache: ten matching 640x480 MPEG-4 clips with MP3 sound plus one that
# differs (another frame rate), joined
#   convert      by `join --convert`: the ten copied, the one converted
#   copy+one     the copy of the ten plus the recompression of the one alone (the floor the
#                conversion is held to: at most 1.2 times it)
#   recompress   by `join --recompress` of all eleven (the conversion: at most a fifth of it)
# A second case does the same where only the sound of the one differs (48 kHz PCM).
# Prints the times and the two ratios of each case.
#
# Usage: [RUNS=5] [SECONDS_EACH=20] bench/convert-bench.sh [CLI] [WORKDIR]
#   CLI      reelwright-cli of a Release build (default build-bench/bin/reelwright-cli)
#   WORKDIR  where the clips and outputs go (default /tmp/rw-convert-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=$(realpath "${1:-build-bench/bin/reelwright-cli}")
WORK=${2:-/tmp/rw-convert-bench}
SECONDS_EACH=${SECONDS_EACH:-20}
mkdir -p "$WORK"
cd "$WORK"

gen() { ffmpeg -nostdin -v error -y "$@"; }
for i in $(seq 1 10); do
  [ -f m$i.avi ] || gen -f lavfi -i testsrc2=size=640x480:rate=25 \
    -f lavfi -i sine=frequency=$((200 + 40 * i)):sample_rate=44100 -t "$SECONDS_EACH" \
    -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k -ac 2 m$i.avi
done
[ -f pictures.avi ] || gen -f lavfi -i testsrc2=size=640x480:rate=30 \
  -f lavfi -i sine=frequency=880:sample_rate=44100 -t "$SECONDS_EACH" \
  -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k -ac 2 pictures.avi
[ -f sound.avi ] || gen -f lavfi -i testsrc2=size=640x480:rate=25 \
  -f lavfi -i sine=frequency=880:sample_rate=48000 -t "$SECONDS_EACH" \
  -c:v mpeg4 -q:v 3 -c:a pcm_s16le -ac 2 sound.avi
TEN="m1.avi m2.avi m3.avi m4.avi m5.avi m6.avi m7.avi m8.avi m9.avi m10.avi"
cat $TEN pictures.avi sound.avi >/dev/null  # warm the cache

run_case() {
  local name=$1 odd=$2
  echo "== $name: ten matching clips + $odd"
  if ! "$CLI" join --convert --yes -o "$name-probe.avi" $TEN "$odd" >/dev/null 2>"$name.err"; then
    echo "   conversion not possible here: $(cat "$name.err")"
    return
  fi
  hyperfine --warmup 1 --runs "${RUNS:-5}" --export-json "$name.json" \
    -n convert "$CLI join --convert --yes -o $name-convert.avi $TEN $odd" \
    -n copy+one "$CLI join --copy --yes -o $name-ten.avi $TEN && \
$CLI join --recompress --yes -o $name-one.avi $odd" \
    -n recompress "$CLI join --recompress --yes -o $name-all.avi $TEN $odd"
  python3 - "$name.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
print("   convert / (copy of ten + recompression of one) = %.2f (at most 1.2)" %
      (r["convert"] / r["copy+one"]))
print("   convert / recompression of all eleven = %.2f (at most 0.2)" %
      (r["convert"] / r["recompress"]))
PY
}

run_case pictures pictures.avi
run_case sound sound.avi
