#!/usr/bin/env bash
# Starts the real reelwright under a virtual X server with two AVI files of one folder on its
# command line, part10.avi before part9.avi: it opens its main window with the caption
# "Reelwright" before any FFmpeg library is in memory (the media engine is loaded in the
# background once the window shows), and (where xdotool is installed) joins them from the
# keyboard as a user would: Ctrl+S (a window titled "Join Options" and nothing more), a name
# without a folder, Enter; the output lands beside the first file, holds part 9 before part 10
# (natural order), and the done message shows. Asked by the session to stop, it closes as at
# File, Exit (its settings written, the compressors its worker tried remembered) and exits with 143
# (128 + SIGTERM). Skipped (77) when Xvfb or xwininfo is missing. Every wait is a bounded poll
# for what it waits for.
set -euo pipefail
exe=$1
for tool in Xvfb xwininfo; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed: skipped"; exit 77; }
done

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export HOME="$work" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb

mkdir "$work/clips"
# Two parts of one recording, told apart by their pictures: part 9 a test pattern, part 10 red.
for name in part9:testsrc=size=64x48 part10:color=c=red:size=64x48; do
  ffmpeg -nostdin -v error -f lavfi -i "${name#*:}:rate=25" -t 0.4 -c:v mpeg4 \
    "$work/clips/${name%%:*}.avi" || { echo "ffmpeg could not make a clip"; exit 1; }
done
b=part10.avi

# The window adds the files in natural order, part9.avi, then part10.avi, and handles keys
# before each file: a key pressed once part10.avi is being read finds both files in the list.
# Whether it is being read shows in its access time, set to the epoch here (where the file
# system keeps access times).
touch -a -d @0 "$work/clips/$b"
atime_kept=0
head -c 1 "$work/clips/$b" >/dev/null
[ "$(stat -c %X "$work/clips/$b")" != 0 ] && atime_kept=1
touch -a -d @0 "$work/clips/$b"

# The list's pictures load the media engine once the window has painted their rows (a test
# of the window checks that); they are off here, so that the check below sees the start alone.
mkdir -p "$work/config/Kestrova"
printf '[General]\nShowPictures=0\n' >"$work/config/Kestrova/reelwright.conf"
(cd "$work" && exec "$exe" clips/part10.avi "$work/clips/part9.avi" >"$work/app.log" 2>&1) &
app_pid=$!
# Runs the command given every 0.1 s until it succeeds, for at most 30 s; fails at once when
# the program has ended.
wait_for() {
  for _ in $(seq 300); do
    "$@" && return 0
    kill -0 "$app_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# A window with exactly this caption exists (the title the window manager shows: nothing
# appended to it).
window_exists() { xwininfo -root -tree 2>/dev/null | grep -qF "\"$1\": (\"reelwright\""; }
# Waits until a window with this caption exists.
wait_window() { wait_for window_exists "$1"; }
# The keyboard focus is on a shown window whose caption begins with this text.
has_focus() {
  local id focus
  focus=$(xdotool getwindowfocus 2>/dev/null) || return 1
  for id in $(xdotool search --onlyvisible --name "^$1" 2>/dev/null); do
    [ "$id" = "$focus" ] && return 0
  done
  return 1
}
b_read() { [ "$(stat -c %X "$work/clips/$b")" != 0 ]; }
# The media engine (which lists the compressors in the background) loads only once the window
# is there: each look reads the libraries in memory before it looks for the window, so media
# libraries found while there is no window were loaded before it.
media='/(libav[a-z]*|libsw[a-z]*|reelwright-engine)\.so'
early=
window_after_media() {
  if grep -qE "$media" "/proc/$app_pid/maps" 2>/dev/null && ! window_exists Reelwright; then
    early=1
    return 0
  fi
  window_exists Reelwright
}
wait_for window_after_media || { echo "no window captioned Reelwright"; cat "$work/app.log"; exit 1; }
if [ -n "$early" ]; then
  echo "media libraries loaded before the window:"
  grep -oE "$media[^ ]*" "/proc/$app_pid/maps" | sort -u; exit 1
fi

if ! command -v xdotool >/dev/null; then
  echo "xdotool is not installed: the join from the keyboard is skipped"
elif [ $atime_kept = 0 ]; then
  echo "the file system keeps no access times: the join from the keyboard is skipped"
else
  wait_for xdotool search --onlyvisible --name '^Reelwright$' >/dev/null \
    || { echo "the main window is not shown"; cat "$work/app.log"; exit 1; }
  main=$(xdotool search --onlyvisible --name '^Reelwright$' | head -n1)
  xdotool windowfocus --sync "$main"
  wait_for b_read || { echo "the files on the command line were not added"; cat "$work/app.log"; exit 1; }
  xdotool key --clearmodifiers ctrl+s
  wait_window "Join Options" || { echo "Ctrl+S showed no join options"; cat "$work/app.log"; exit 1; }
  wait_for has_focus "Join Options" || { echo "the join options took no keys"; exit 1; }
  xdotool type --delay 20 joined.avi
  xdotool key Return
  wait_window "Join Complete" || { echo "no done message"; cat "$work/app.log"; exit 1; }
  wait_for has_focus "Join Complete" || { echo "the done message took no keys"; exit 1; }
  [ -s "$work/clips/joined.avi" ] || { echo "the output is not beside the first file"; ls -R "$work"; exit 1; }
  frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets \
    -of csv=p=0 "$work/clips/joined.avi")
  [ "$frames" = 20 ] || { echo "the output has $frames frames, not 20"; exit 1; }
  # Part 9 comes first (not part 10, as a plain sort of the names would have it): the first
  # picture is the test pattern, the last one red.
  colour() {
    ffmpeg -nostdin -v error "$@" -i "$work/clips/joined.avi" -frames:v 1 \
      -vf scale=1:1:flags=area -f rawvideo -pix_fmt rgb24 - | od -An -tu1
  }
  red() { read -r r g _ <<<"$1"; [ $((r - g)) -gt 120 ]; }
  first=$(colour) last=$(colour -sseof -0.04)
  if red "$first" || ! red "$last"; then
    echo "the parts are not in natural order (first picture $first, last $last)"; exit 1
  fi
  # Enter closes the message (it opens no folder: nothing else appears).
  xdotool key Return
  done_closed() { ! window_exists "Join Complete"; }
  wait_for done_closed || { echo "Enter left the done message open"; exit 1; }
  grep -q "launcher" "$work/app.log" && { echo "Enter opened something:"; cat "$work/app.log"; exit 1; }
fi

# The compressors are listed in a worker that closing does not wait for: the check below waits
# until the listing has been remembered.
conf="$work/config/Kestrova/reelwright.conf"
listing_remembered() { grep -q '^Key=FFmpeg ' "$conf" 2>/dev/null; }
wait_for listing_remembered || { echo "no compressors remembered"; cat "$work/app.log"; exit 1; }

kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" -eq 143 ] || { echo "exit status $status (not 128 + SIGTERM)"; cat "$work/app.log"; exit 1; }

[ -f "$conf" ] || { echo "no settings written"; exit 1; }
# A first run's window: 60 % of the 1024x768 screen's height, at least 60 % of its width (more
# when every column needs it), centred.
width=$(sed -n 's/^frmMain\\Width=//p' "$conf")
[ -n "$width" ] && [ "$width" -ge 614 ] && [ "$width" -le 1024 ] ||
  { echo "first window width ${width:-missing} in:"; cat "$conf"; exit 1; }
for value in 'LastOpenFolder=' 'LastSaveFolder=' 'LastProjectFolder=' 'frmMain\Top=154' \
             "frmMain\\Left=$(((1024 - width) / 2))" 'frmMain\Height=460' \
             'frmMain\WindowState=0' 'ShowPictures=0'; do
  grep -qFx "$value" "$conf" || { echo "missing $value in:"; cat "$conf"; exit 1; }
done
# The compressors tried in the background are remembered for the next run, under the media
# libraries' version.
grep -q '^Key=FFmpeg ' "$conf" || { echo "no compressors remembered in:"; cat "$conf"; exit 1; }
echo "ok"
