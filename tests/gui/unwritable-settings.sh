#!/usr/bin/env bash
# Starts the real reelwright offscreen with a configuration folder that cannot be made (its
# parent is a regular file). It comes up, and asked by the session to stop it closes as at
# File, Exit and ends with status 143 (128 + SIGTERM), although nothing can be stored: the
# failure goes to standard error, as no one is there to answer a message box.
set -euo pipefail
exe=$1
work=$(mktemp -d)
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "not a folder" >"$work/file"
export HOME="$work" XDG_CONFIG_HOME="$work/file/config" QT_QPA_PLATFORM=offscreen
"$exe" >"$work/app.log" 2>&1 &
app_pid=$!

# Up once it catches SIGTERM (bit 15 of the caught-signal mask).
caught() {
  local mask
  mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$app_pid/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (( (16#$mask >> 14) & 1 ))
}
for _ in $(seq 600); do
  caught && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
caught || { echo "the program did not come up"; cat "$work/app.log"; exit 1; }

kill -TERM "$app_pid"
for _ in $(seq 300); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "still running 30 s after SIGTERM"
  cat "$work/app.log"
  exit 1
fi
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" -eq 143 ] || { echo "exit status $status (not 128 + SIGTERM)"; cat "$work/app.log"; exit 1; }
grep -q "Failed to set data for '" "$work/app.log" || { echo "no settings failure reported:"; cat "$work/app.log"; exit 1; }
[ -f "$work/file" ] && [ "$(cat "$work/file")" = "not a folder" ] || { echo "the blocking file changed"; exit 1; }
echo "ok"
