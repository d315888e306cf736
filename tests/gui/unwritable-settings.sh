#!/usr/bin/env bash
# Starts the real reelwright offscreen with a configuration folder that cannot be made (its
# parent is a regular file). It comes up, and asked by the session to stop it closes as at
# File, Exit and ends with status 143 (128 + SIGTERM), although nothing can be stored: the
# failure goes to standard error, as no one is there to answer a message box.
set -euo pipefail
exe=$1
source "$(dirname "$0")/../support/window-program.sh"

echo "not a folder" >"$work/file"
export HOME="$work" XDG_CONFIG_HOME="$work/file/config" QT_QPA_PLATFORM=offscreen
"$exe" >"$work/app.log" 2>&1 &
app_pid=$!

wait_program_up "$app_pid" || { echo "the program did not come up"; cat "$work/app.log"; exit 1; }

if ! stop_program "$app_pid"; then
  echo "still running 30 s after SIGTERM"
  cat "$work/app.log"
  exit 1
fi
status=$stop_status
app_pid=
[ "$status" -eq 143 ] || { echo "exit status $status (not 128 + SIGTERM)"; cat "$work/app.log"; exit 1; }
grep -q "Failed to set data for '" "$work/app.log" || { echo "no settings failure reported:"; cat "$work/app.log"; exit 1; }
[ -f "$work/file" ] && [ "$(cat "$work/file")" = "not a folder" ] || { echo "the blocking file changed"; exit 1; }
echo "ok"
