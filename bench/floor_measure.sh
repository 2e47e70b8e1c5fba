#!/usr/bin/env bash
# Measures the floor (bench/floor_probe.cpp, or with FLOOR_PROGRAM=soft_floor_probe the
# software floor, bench/soft_floor_probe.cpp) from outside, as bench/program_probe.sh
# measures the game, on the X display in DISPLAY: the time from exec to its first frame, its
# share of a core over a span, its peak memory; SIGTERM ends it, with status 0.
#
#   bench/floor_measure.sh BUILD_DIR [SECONDS] [FLOOR OPTIONS...]
#
# SECONDS (default 10) is the length of the CPU measurement; the options go to the floor
# (--direct for the floor drawn straight into the window). XVFB_PID, when set, adds the X
# server's share; PROBE_FIGURES, when set, names a file that gets the figures for bench/report.
set -uo pipefail
build=$(cd "${1:?usage: floor_measure.sh BUILD_DIR [SECONDS] [FLOOR OPTIONS...]}" && pwd)
span=${2:-10}
shift $(( $# < 2 ? $# : 2 ))
probe_name=floor_measure program="$build/bench/${FLOOR_PROGRAM:-floor_probe}"
source "$(dirname "$0")/probe_lib.sh"

probe_start "$build" "$program" --run "$@"
probe_first_frame
sleep 2
read -r cpu x_cpu cpu_s fps ms < <(measure idle)
kill -0 "$probe_pid" 2>/dev/null || fail "the floor ended while measured"
probe_end

printf '  %-34s %9s ms after exec, present %d\n' "first frame drawn" "$first_content" "$((before + 1))"
printf '  %-34s %9s %% of a core over %s s, %s presents a second, %s ms of CPU each\n' "CPU" \
  "$cpu" "$cpu_s" "$fps" "$ms"
[ -n "${XVFB_PID:-}" ] && printf '  %-34s %9s %%\n' "X server CPU" "$x_cpu"
printf '  %-34s %9s MiB\n' "peak memory (VmHWM)" "$hwm_mib"
printf '  %-34s %s\n' "exit on SIGTERM" "$exit_line"
probe_figure first_frame "$first_content"
probe_figure cpu "$cpu"
probe_figure cpu_ms "$ms"
probe_figure peak "$hwm_mib"
[ "${status:-1}" -eq 0 ]
