# Sourced by the shell tests that run the window program in the background: gives them a work
# folder ($work) that goes when the test ends, together with the program started as $app_pid
# if it still runs; waits until the program is up and stops it as the session would.

work=$(mktemp -d)
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The program is up once it catches SIGTERM (bit 15 of its caught-signal mask).
program_up() {
  local mask
  mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (( (16#$mask >> 14) & 1 ))
}

# Polls for at most 60 s; fails when the program ends first or never comes up.
wait_program_up() {
  for _ in $(seq 600); do
    program_up "$1" && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Sends SIGTERM and waits at most 30 s for the program to end; sets stop_status to its exit
# status. Fails when it still runs.
stop_program() {
  kill -TERM "$1"
  for _ in $(seq 300); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$1" 2>/dev/null && return 1
  stop_status=0
  wait "$1" || stop_status=$?
}
