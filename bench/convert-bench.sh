#!/usr/bin/env bash
# Converting only the file that differs against its two alternatives, in one session, warm
# cache, each command one `reelwright-cli` process (or two) started from a shell as a user runs
# it: ten matching 640x480 MPEG-4 clips with MP3 sound plus one that differs (another frame
# rate), joined
#   convert      by `join --convert`: the ten copied, the one converted
#   copy+one     the copy of the ten plus the recompression of the one alone into their format
#                (the floor the conversion is held to: at most 1.2 times it)
#   recompress   by `join --recompress` of all eleven (the conversion: at most a fifth of it)
# Both recompressions name the ten's encoders (MPEG-4, MP3), as the conversion uses them, so
# that no run lists the compressors. The three commands run in turn, RUNS rounds after one
# round of warm-up, so that each sees the same load on a shared machine. A second case does the
# same where only the sound of the one differs (48 kHz PCM). Prints each command's mean wall
# and CPU time and the two ratios of each case.
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
  local enc="--vcodec mpeg4 --acodec libmp3lame"
  local -a names=(convert copy+one recompress)
  local -a cmds=(
    "$CLI join --convert --yes -o $name-convert.avi $TEN $odd"
    "$CLI join --copy --yes -o $name-ten.avi $TEN && \
$CLI join --recompress --yes --size 640x480 --rate 25 $enc -o $name-one.avi $odd"
    "$CLI join --recompress --yes $enc -o $name-all.avi $TEN $odd")
  rm -f "$name.times" "$name.log"
  for round in $(seq 0 "${RUNS:-5}"); do
    for k in 0 1 2; do
      /usr/bin/time -f "${names[$k]} %e %U %S" -o "$name.time" bash -c "${cmds[$k]}" \
        >/dev/null 2>>"$name.log"
      [ "$round" -eq 0 ] || cat "$name.time" >>"$name.times"  # round 0 warms up
    done
  done
  awk '{w[$1]+=$2; c[$1]+=$3+$4; n[$1]++}
       END {for (k in w) printf "   %-10s wall %.2f s, CPU %.2f s (mean of %d)\n", k, w[k]/n[k], c[k]/n[k], n[k];
            printf "   convert / (copy of ten + recompression of one) = %.2f wall, %.2f CPU (at most 1.2)\n",
                   w["convert"]/w["copy+one"], c["convert"]/c["copy+one"];
            printf "   convert / recompression of all eleven = %.3f wall, %.3f CPU (at most 0.2)\n",
                   w["convert"]/w["recompress"], c["convert"]/c["recompress"]}' "$name.times"
  ffprobe -v error -select_streams v:0 -count_packets \
    -show_entries stream=codec_name,width,height,r_frame_rate,nb_read_packets -of compact \
    "$name-convert.avi"
}

run_case pictures pictures.avi
run_case sound sound.avi
