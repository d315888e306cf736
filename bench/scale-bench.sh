#!/usr/bin/env bash
# Reelwright at scale, against a Release build (reelwright-cli, reelwright, bench_scale_tool):
#   big     an output past 4 GiB: five sources of 1000 uncompressed 1 MiB pictures (sparse files,
#           5.2 GB together) joined by copy; time and peak memory of the join, then every peer
#           (ffmpeg, GStreamer, VLC, mpv, mencoder) reads the output whole
#   many    10,000 sources (hard links to one small clip with sound) in one project, joined from
#           the command line with --project under ulimit -n 256; time and peak memory
#   info    peak memory of `info --project` and of the window (offscreen) with 1,000 small
#           files, 1,000 files of 1 GiB (sparse) and 10,000 small files, under ulimit -n 256
#
# Usage: bench/scale-bench.sh [BUILD] [WORKDIR] [CASE...]
#   BUILD    a Release build folder with -DRW_BENCH=ON (default build-bench)
#   WORKDIR  where the files go (default /tmp/rw-scale-bench; about 6 GB free needed)
#   CASE     big, many, info (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(realpath "${1:-build-bench}")
CLI=$BUILD/bin/reelwright-cli
TOOL=$BUILD/bin/bench_scale_tool
WORK=${2:-/tmp/rw-scale-bench}
shift $(($# < 2 ? $# : 2))
CASES=${*:-big many info}
mkdir -p "$WORK"
cd "$WORK"

# Runs a command; prints its wall time and peak memory.
measure() {
  /usr/bin/time -f "  %e s, peak memory %M KiB" "$@" >/dev/null 2>time.txt || {
    cat time.txt
    return 1
  }
  tail -1 time.txt
}

# A project of the names listed in a file, one per line.
project() { "$TOOL" project "$2" "$1"; }

# The window's peak memory once it has loaded a project (its peak has not grown for 2 s), with
# at most 256 open files, and how many AVI files it holds open then.
window_peak() {
  (ulimit -n 256 && HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/config QT_QPA_PLATFORM=offscreen \
    exec "$BUILD/bin/reelwright" "$1" 2>/dev/null) &
  local pid=$! last=-1 peak
  while :; do
    sleep 2
    peak=$(awk '/^VmHWM:/ {print $2}' /proc/$pid/status)
    [ "$peak" = "$last" ] && break
    last=$peak
  done
  local open
  open=$(find /proc/$pid/fd -lname '*.avi' 2>/dev/null | wc -l)
  kill -TERM $pid
  wait $pid || true
  echo "$peak KiB, $open AVI files open once loaded"
}

# One small clip with sound and 10,000 hard links to it.
small_clips() {
  [ -f clip.avi ] || ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=25 \
    -f lavfi -i sine -t 0.08 -c:v mpeg4 -c:a pcm_s16le clip.avi
  mkdir -p many
  for i in $(seq 0 9999); do [ -f many/c$i.avi ] || ln clip.avi many/c$i.avi; done
}

for case in $CASES; do
  case $case in
  big)
    echo "== big: 5 x 1000 pictures of 1 MiB, joined by copy"
    for i in 1 2 3 4 5; do [ -f big$i.avi ] || "$TOOL" sparse big$i.avi 1000; done
    sync
    measure "$CLI" join --yes -o big-out.avi big1.avi big2.avi big3.avi big4.avi big5.avi
    echo "  output $(stat -c %s big-out.avi) bytes"
    start=$(date +%s.%N)
    "$TOOL" peers big-out.avi 5000 | sed 's/^/  /'
    echo "  the peers' check: $(echo "$(date +%s.%N) - $start" | bc) s"
    rm -f big-out.avi
    ;;
  many)
    echo "== many: 10,000 sources in one project, ulimit -n 256"
    small_clips
    printf '%s\n' "$PWD"/many/c{0..9999}.avi >many.txt
    project many.txt many.rwp
    (ulimit -n 256 && measure "$CLI" join --yes -o many-out.avi --project many.rwp)
    ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets \
      -of csv=p=0 many-out.avi | sed 's/^/  pictures in the output: /'
    rm -f many-out.avi
    ;;
  info)
    echo "== info and the window: peak memory by number and size of files"
    small_clips
    mkdir -p large
    [ -f large/l0.avi ] || "$TOOL" sparse large/l0.avi 1000
    for i in $(seq 1 999); do [ -f large/l$i.avi ] || ln large/l0.avi large/l$i.avi; done
    printf '%s\n' "$PWD"/many/c{0..999}.avi >small.txt
    printf '%s\n' "$PWD"/large/l{0..999}.avi >large.txt
    printf '%s\n' "$PWD"/many/c{0..9999}.avi >many.txt
    for p in small large many; do project $p.txt $p.rwp; done
    for p in small large many; do
      echo "  $p ($(wc -l <$p.txt) files of $(stat -c %s "$(head -n1 $p.txt)") bytes):"
      (ulimit -n 256 && measure "$CLI" info --project $p.rwp)
      [ -x "$BUILD/bin/reelwright" ] && echo "  window: peak memory $(window_peak $p.rwp)"
    done
    ;;
  *)
    echo "unknown case: $case" >&2
    exit 2
    ;;
  esac
done
