#!/usr/bin/env bash
# Starts the real reelwright under a virtual X server: it opens its main window with the
# caption "Reelwright", without any FFmpeg library in memory (the media engine waits for the
# join options), and, asked by the session to stop, exits cleanly with its settings written. Skipped (77) when Xvfb or xwininfo is missing.
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

"$exe" >"$work/app.log" 2>&1 &
app_pid=$!
found=
for _ in $(seq 300); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Reelwright": ("reelwright"'; then
    found=1
    break
  fi
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$found" ] || { echo "no window captioned Reelwright"; cat "$work/app.log"; exit 1; }
media='/(libav[a-z]*|libsw[a-z]*|reelwright-engine)\.so'
if grep -qE "$media" "/proc/$app_pid/maps"; then
  echo "media libraries loaded at start:"; grep -oE "$media[^ ]*" "/proc/$app_pid/maps" | sort -u; exit 1
fi

kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" -eq 0 ] || { echo "exit status $status"; cat "$work/app.log"; exit 1; }

conf="$work/config/Kestrova/reelwright.conf"
[ -f "$conf" ] || { echo "no settings written"; exit 1; }
for value in 'LastOpenFolder=' 'LastSaveFolder=' 'LastProjectFolder=' 'frmMain\Top=138' \
             'frmMain\Left=272' 'frmMain\Width=565' 'frmMain\Height=354' \
             'frmMain\WindowState=0'; do
  grep -qFx "$value" "$conf" || { echo "missing $value in:"; cat "$conf"; exit 1; }
done
echo "ok"
