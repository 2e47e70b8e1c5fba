#!/usr/bin/env bash
# Measures the running game from outside, on the X display in DISPLAY (bench/report starts
# a private 1280 x 1024 Xvfb): the time from exec to the first frame on screen, the share
# of one core it takes idling at the title and in play, and its peak memory. The game is
# started as a first run (no data files) with the build folder as its working directory,
# software GL and dummy audio; it is ended with SIGTERM, which it must survive with status 0.
#
#   bench/program_probe.sh BUILD_DIR [SECONDS]
#
# SECONDS (default 10) is the length of each CPU measurement. XVFB_PID, when set, adds the
# X server's share, which the game's own figures do not include; PROBE_FIGURES, when set,
# names a file that gets the figures for bench/report.
set -uo pipefail
build=$(cd "${1:?usage: program_probe.sh BUILD_DIR [SECONDS]}" && pwd)
span=${2:-10}
probe_name=program_probe program="$build/aerovane"
source "$(dirname "$0")/probe_lib.sh"

# Play: turns, climbs, dives and some fire, a press every few tenths of a second.
play() {
  local end=$(( $(now) + span * 1000000 )) i=0
  local keys=(Right Up Left Down Control_L Left Up Right Down Control_L)
  while [ "$(now)" -lt "$end" ]; do
    local k=${keys[i % ${#keys[@]}]}
    case $k in
      Up|Down) xdotool keydown "$k"; sleep 0.35; xdotool keyup "$k" ;;
      *) xdotool key "$k"; sleep 0.35 ;;
    esac
    i=$((i + 1))
  done
}

# The window and where pixel (X, Y) of the 640 x 480 screen shows in it: the largest 4:3
# rectangle, centred (at 1280 x 1024: scale 2, 32 rows of border above and below).
find_window() {
  window=""
  for _ in $(seq 1 200); do
    window=$(xdotool search --name "Aerovane 2D/3D" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$probe_pid" 2>/dev/null || fail "the game ended at start"
    sleep 0.05
  done
  [ -n "$window" ] || fail "no game window"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  win_x=$X win_y=$Y win_w=$WIDTH win_h=$HEIGHT
}
click_screen() {
  local px py
  read -r px py < <(awk -v x="$1" -v y="$2" -v wx="$win_x" -v wy="$win_y" -v w="$win_w" -v h="$win_h" 'BEGIN {
    s = w / 640; if (h / 480 < s) s = h / 480
    ox = int((w - int(640 * s)) / 2); oy = int((h - int(480 * s)) / 2)
    printf "%d %d\n", wx + ox + (x + 0.5) * s, wy + oy + (y + 0.5) * s }')
  xdotool mousemove "$px" "$py"
  sleep 0.2
  xdotool click 1
}
focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ]; }

# A first run: flat drawing, no best score.
rm -f "$build/data/hiscore.dat" "$build/data/anaglyph3d.dat"
probe_start "$build" ./aerovane

# 1. Exec to the first frame with something drawn in it.
probe_first_frame
find_window
xdotool windowfocus "$window" 2>/dev/null || true

# 2. The title menu: the splash skipped with Space (Escape would quit from the title).
sleep 0.5
xdotool key space
sleep 2
focused || echo "warning: the game window does not have the focus; the game may be holding"
read -r title_cpu title_x title_s title_fps title_ms < <(measure idle)
kill -0 "$probe_pid" 2>/dev/null || fail "the game ended at the title"
import -window root "$build/probe-title-${win_w}x${win_h}.png" 2>/dev/null || true

# 3. Play: "Start Game", the first row of the menu (y 221 to 251).
click_screen 320 236
sleep 1
read -r play_cpu play_x play_s play_fps play_ms < <(measure play)
kill -0 "$probe_pid" 2>/dev/null || fail "the game ended in play"
import -window root "$build/probe-play-${win_w}x${win_h}.png" 2>/dev/null || true

# 4. Peak memory, then SIGTERM: the game saves its data files and ends with status 0.
# Where the resident memory is now: Mesa's software GL (LLVM and the driver) is mapped
# from files and is not the game's own.
rss_line=$(awk '
  /^[0-9a-f]+-[0-9a-f]+ / { name = $6; anon = (name == "" || name ~ /^\[/) }
  /^Rss:/ { rss += $2
    if (name ~ /libLLVM|_dri\.so|libgallium/) mesa += $2
    else if (name ~ /^\/SYSV/) shm += $2
    else if (anon) an += $2
    else files += $2 }
  END { printf "%.1f MiB: software GL code %.1f, other files %.1f, anonymous %.1f, X shared images %.1f", \
        rss / 1024, mesa / 1024, files / 1024, an / 1024, shm / 1024 }' "/proc/$probe_pid/smaps")
probe_end

printf '  %-34s %9s ms after exec\n' "libraries loaded" "$loaded"
printf '  %-34s %9s ms after exec: start-up to the open display (black)\n' "first present" "$first_swap"
if [ -n "$last_black" ]; then
  printf '  %-34s %9s ms after exec: %.1f ms measuring the display'"'"'s vertical sync\n' \
    "last black present" "$last_black" "$(awk -v a="$last_black" -v b="$first_swap" 'BEGIN { print a - b }')"
fi
printf '  %-34s %9s ms after exec: %.1f ms loading, present %d   target <= 150 ms: %s\n' \
  "first frame drawn by the game" "$first_content" \
  "$(awk -v a="$first_content" -v b="${last_black:-$first_content}" 'BEGIN { print a - b }')" \
  "$((before + 1))" "$(verdict "$first_content" 150 ms le)"
printf '  %-34s %9s %% of a core over %s s   target < 8 %%: %s\n' "CPU idle at the title" \
  "$title_cpu" "$title_s" "$(verdict "$title_cpu" 8 points lt)"
printf '  %-34s %9s %% of a core over %s s   target < 12 %%: %s\n' "CPU in play" \
  "$play_cpu" "$play_s" "$(verdict "$play_cpu" 12 points lt)"
printf '  %-34s %9s at the title, %s in play (%s ms, %s ms of CPU each)\n' "presents per second" \
  "$title_fps" "$play_fps" "$title_ms" "$play_ms"
# A loaded machine may not give the game the time for all 60; this is what 60 would cost.
printf '  %-34s %9s %% of a core at the title, %s %% in play (CPU per present x 60)\n' "at a full 60 presents a second" \
  "$(awk -v m="$title_ms" 'BEGIN { printf "%.1f", m * 6 }')" "$(awk -v m="$play_ms" 'BEGIN { printf "%.1f", m * 6 }')"
if [ -n "${XVFB_PID:-}" ]; then
  printf '  %-34s %9s %% at the title, %s %% in play (besides the game'"'"'s own)\n' "X server CPU" "$title_x" "$play_x"
fi
printf '  %-34s %9s MiB   target < 99 MiB: %s\n' "peak memory (VmHWM)" "$hwm_mib" "$(verdict "$hwm_mib" 99 MiB lt)"
printf '  %-34s %s\n' "resident before SIGTERM" "$rss_line"
printf '  %-34s %s\n' "exit on SIGTERM" "$exit_line"
probe_figure first_present "$first_swap"
probe_figure first_frame "$first_content"
probe_figure title_cpu "$title_cpu"
probe_figure title_ms "$title_ms"
probe_figure play_cpu "$play_cpu"
probe_figure play_ms "$play_ms"
probe_figure peak "$hwm_mib"
[ "${status:-1}" -eq 0 ]
