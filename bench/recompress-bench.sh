#!/usr/bin/env bash
# The recompressing join beside one ffmpeg command doing the same work: three sources of
# different sizes, rates and sound formats, letterboxed to 640 x 480 at 25 frames per second,
# MPEG-4 part 2 video and MP3 sound, into an AVI file. The sources are made at run time.
#
#   bench/recompress-bench.sh [path/to/reelwright-cli] [seconds per source]
set -euo pipefail
CLI=${1:-build-bench/bin/reelwright-cli}
SECONDS_EACH=${2:-10}
CLI=$(realpath "$CLI")
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
cd "$DIR"

gen() { ffmpeg -nostdin -v error -y "$@"; }
gen -f lavfi -i testsrc2=size=720x576:rate=25 -f lavfi -i sine=f=440:sample_rate=48000 \
    -t "$SECONDS_EACH" -c:v mpeg4 -q:v 3 -c:a pcm_s16le -ac 2 a.avi
gen -f lavfi -i testsrc2=size=640x360:rate=30 -f lavfi -i sine=f=660:sample_rate=44100 \
    -t "$SECONDS_EACH" -c:v mjpeg -pix_fmt yuvj420p -c:a libmp3lame -ac 2 b.avi
gen -f lavfi -i testsrc2=size=320x240:rate=15 -f lavfi -i sine=f=880:sample_rate=22050 \
    -t "$SECONDS_EACH" -c:v mpeg4 -c:a pcm_s16le -ac 1 c.avi

fit="fps=25,scale=640:480:force_original_aspect_ratio=decrease,pad=640:480:(ow-iw)/2:(oh-ih)/2,setsar=1"
snd="aresample=44100,aformat=channel_layouts=stereo"
graph="[0:v]$fit[v0];[1:v]$fit[v1];[2:v]$fit[v2];[0:a]$snd[a0];[1:a]$snd[a1];[2:a]$snd[a2];"
graph+="[v0][a0][v1][a1][v2][a2]concat=n=3:v=1:a=1[v][a]"

rw_cmd="$CLI join --recompress --yes -o rw.avi --size 640x480 --rate 25 --resize letterbox --vcodec mpeg4 --acodec libmp3lame a.avi b.avi c.avi"
# The same encoders with reelwright's defaults for them: MPEG-4 at quantizer 3, MP3 at 192 kbit/s.
ff_cmd="ffmpeg -nostdin -v error -y -i a.avi -i b.avi -i c.avi -filter_complex '$graph' -map '[v]' -map '[a]' -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 192k ff.avi"
hyperfine --warmup 1 --runs "${RUNS:-5}" --export-markdown "$DIR/result.md" -n reelwright-cli "$rw_cmd" -n ffmpeg "$ff_cmd"

# On a shared machine the load drifts between hyperfine's two series; pairs run alternately
# see the same load.
for _ in $(seq "${RUNS:-5}"); do
  /usr/bin/time -f "reelwright-cli %e %U %S" bash -c "$rw_cmd" 2>>times.txt
  /usr/bin/time -f "ffmpeg %e %U %S" bash -c "$ff_cmd" 2>>times.txt
done
awk '{w[$1]+=$2; c[$1]+=$3+$4; n[$1]++}
     END {for (k in w) printf "alternating %s: wall %.3f s, CPU %.3f s (mean of %d)\n", k, w[k]/n[k], c[k]/n[k], n[k];
          printf "ratio of means: wall %.2f, CPU %.2f\n", w["reelwright-cli"]/w["ffmpeg"], c["reelwright-cli"]/c["ffmpeg"]}' times.txt
cat "$DIR/result.md"
for f in rw.avi ff.avi; do
  ffprobe -v error -show_entries stream=codec_name,width,height,r_frame_rate,sample_rate,channels,duration -of compact "$f"
done
