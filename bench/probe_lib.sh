# Sourced by bench/program_probe.sh and bench/floor_measure.sh: runs a program under the
# frame shim (bench/frame_shim.cpp) with software GL and dummy audio, and watches it from
# outside: its first frame with content, its share of a core, its peak memory, its exit.
# With PROBE_FIGURES naming a file, probe_figure appends "name value" lines to it, which
# bench/report reads to put the game beside the floor. The caller sets build (the build
# folder), program and probe_name (for messages) before sourcing it.

shim="$build/bench/libframe_shim.so"
[ -x "$program" ] || { echo "$probe_name: no $program"; exit 1; }
[ -f "$shim" ] || { echo "$probe_name: no $shim"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "$probe_name: no DISPLAY"; exit 1; }

tick=$(getconf CLK_TCK)
frame_log=$(mktemp /tmp/aerovane-probe-XXXXXX)
frame_count=$frame_log.count
probe_pid=""
probe_cleanup() {
  if [ -n "$probe_pid" ] && kill -0 "$probe_pid" 2>/dev/null; then kill -KILL "$probe_pid" 2>/dev/null; fi
  rm -f "$frame_log" "$frame_log.err" "$frame_count"
}
trap probe_cleanup EXIT
fail() { echo "$probe_name: $*"; exit 1; }

now() { echo "${EPOCHREALTIME//[!0-9]/}"; }   # wall clock, microseconds
# CPU ticks (user + system, every thread) of a process; fields after the ")" of its name.
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
# Presents so far, kept by the preloaded shim.
presents() { od -An -tu8 -N8 "$frame_count" 2>/dev/null | tr -d ' ' || echo 0; }

probe_figure() { [ -z "${PROBE_FIGURES:-}" ] || echo "$1 $2" >>"$PROBE_FIGURES"; }

# verdict VALUE LIMIT UNIT le|lt: "met" or "MISSED by ...", for a figure with an upper limit.
verdict() {
  awk -v v="$1" -v t="$2" -v u="$3" -v k="$4" 'BEGIN {
    ok = (k == "le") ? v <= t : v < t
    if (ok) printf "met (%.1f %s to spare)", t - v, u
    else printf "MISSED by %.1f %s (%.1fx)", v - t, u, v / t }'
}

# probe_start DIR CMD...: starts CMD in DIR with the shim preloaded; sets probe_pid.
probe_start() {
  local dir=$1; shift
  (
    cd "$dir" || exit 1
    export SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 AV_FRAME_LOG="$frame_log" LD_PRELOAD="$shim"
    export AV_FRAME_COUNTER="$frame_count"
    export AV_EXEC_US="${EPOCHREALTIME//[!0-9]/}"
    exec "$@"
  ) >/dev/null 2>"$frame_log.err" &
  probe_pid=$!
}

# probe_first_frame: waits for the first frame with something drawn in it; sets loaded,
# first_swap, last_black (empty when the first present had content), first_content, before.
probe_first_frame() {
  for _ in $(seq 1 300); do
    grep -q '^first_content' "$frame_log" && break
    kill -0 "$probe_pid" 2>/dev/null || fail "ended at start: $(cat "$frame_log.err")"
    sleep 0.1
  done
  grep -q '^first_content' "$frame_log" || fail "no frame with content within 30 s"
  loaded=$(awk '$1 == "loaded" { print $2 }' "$frame_log")
  first_swap=$(awk '$1 == "first_swap" { print $2 }' "$frame_log")
  last_black=$(awk '$1 == "last_black" { print $2 }' "$frame_log")
  read -r first_content before < <(awk '$1 == "first_content" { print $2, $3 }' "$frame_log")
}

# Over one measured span, while "$@" runs (the span's input, if any): the program's and the
# X server's shares of a core in percent, the seconds, presents per second, CPU ms a present.
measure() {
  local g0 x0=0 f0 t0 g1 x1=0 f1 t1
  g0=$(cpu_ticks "$probe_pid"); [ -n "${XVFB_PID:-}" ] && x0=$(cpu_ticks "$XVFB_PID")
  f0=$(presents); t0=$(now)
  "$@"
  g1=$(cpu_ticks "$probe_pid"); [ -n "${XVFB_PID:-}" ] && x1=$(cpu_ticks "$XVFB_PID")
  f1=$(presents); t1=$(now)
  awk -v g=$((g1 - g0)) -v x=$((x1 - x0)) -v f=$((f1 - f0)) -v us=$((t1 - t0)) -v hz="$tick" \
    'BEGIN { s = us / 1e6; c = g / hz
      printf "%.1f %.1f %.1f %.1f %.2f\n", 100 * c / s, 100 * x / hz / s, s, f / s, f ? 1000 * c / f : 0 }'
}

idle() { sleep "$span"; }

# probe_end: peak memory (hwm_mib), then SIGTERM, which the program must survive with status 0
# (exit_line, status).
probe_end() {
  hwm_mib=$(awk '$1 == "VmHWM:" { printf "%.1f", $2 / 1024 }' "/proc/$probe_pid/status")
  local t0; t0=$(now)
  kill -TERM "$probe_pid"
  for _ in $(seq 1 100); do kill -0 "$probe_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$probe_pid" 2>/dev/null; then
    exit_line="still running 10 s after SIGTERM"
    status=1
  else
    wait "$probe_pid"; status=$?
    exit_line=$(awk -v s="$status" -v us=$(( $(now) - t0 )) 'BEGIN { printf "status %d after %.1f s", s, us / 1e6 }')
    probe_pid=""
  fi
}
