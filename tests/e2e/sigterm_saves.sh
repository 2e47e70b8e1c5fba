# SIGTERM reaches the game as a close request: it ends with status 0 and both data
# files are saved, the glasses type chosen with a real click among them. The picture
# on screen meanwhile keeps its black side bars.
source "$(dirname "$0")/lib.sh"
printf '\x2a\x00\x00\x00' >"$work/data/hiscore.dat"
start_game
sleep 2.5  # the display settles and the splash starts
xdotool key space
sleep 1.5
click_screen 320 271   # "3D Graphics: " goes from "Off" to "M\G"
sleep 1
import -window root "$work/shot.png" 2>/dev/null || fail "no screenshot"
screen_point 0 0; left_x=$px top_y=$py
screen_point 109 479; left_w=$((px - left_x)) full_h=$((py - top_y))
bar_max=$(convert "$work/shot.png" -crop "${left_w}x${full_h}+${left_x}+${top_y}" +repage -format "%[max]" info:)
[ "${bar_max%.*}" -eq 0 ] || fail "the left bar is not black (max $bar_max)"
screen_point 200 240; sky_x=$px
sky_max=$(convert "$work/shot.png" -crop "40x${full_h}+${sky_x}+${top_y}" +repage -format "%[max]" info:)
[ "${sky_max%.*}" -gt 0 ] || fail "nothing drawn in the playfield"
kill -TERM "$game_pid"
wait_exit 10
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$work/stderr")"
[ "$(hex "$work/data/anaglyph3d.dat")" = "01 00 00 00" ] || fail "anaglyph3d.dat: $(hex "$work/data/anaglyph3d.dat")"
[ "$(hex "$work/data/hiscore.dat")" = "2a 00 00 00" ] || fail "hiscore.dat: $(hex "$work/data/hiscore.dat")"
echo "ok"
