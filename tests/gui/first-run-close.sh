#!/usr/bin/env bash
# Starts the real reelwright offscreen on a first run (nothing remembered, so it lists the
# compressors in a worker once it shows) and asks it to stop while that listing runs: it ends
# within a second, with 143 (128 + SIGTERM), leaving no worker behind.
set -euo pipefail
exe=$1
source "$(dirname "$0")/../support/window-program.sh"

export HOME="$work" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
"$exe" >"$work/app.log" 2>&1 &
app_pid=$!
wait_program_up "$app_pid" || { echo "the program did not come up"; cat "$work/app.log"; exit 1; }
# The listing's worker is the program's child.
worker=
for _ in $(seq 600); do
  worker=$(pgrep -P "$app_pid" | head -n1) && [ -n "$worker" ] && break
  sleep 0.1
done
[ -n "$worker" ] || { echo "no worker lists the compressors"; cat "$work/app.log"; exit 1; }

start=$(date +%s%N)
kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
ms=$(( ($(date +%s%N) - start) / 1000000 ))
app_pid=
[ "$status" -eq 143 ] || { echo "exit status $status (not 128 + SIGTERM)"; cat "$work/app.log"; exit 1; }
echo "ended ${ms} ms after SIGTERM"
[ "$ms" -le 1000 ] || { echo "closing took ${ms} ms"; cat "$work/app.log"; exit 1; }
kill -0 "$worker" 2>/dev/null && { echo "the worker $worker outlived the window"; exit 1; }
echo "ok"
