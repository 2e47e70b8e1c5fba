# Escape skips the splash; Escape in the title menu ends the game with status 0.
source "$(dirname "$0")/lib.sh"
start_game
sleep 2.5  # the display settles and the splash starts
xdotool key Escape
sleep 1.5
kill -0 "$game_pid" 2>/dev/null || fail "the first Escape ended more than the splash"
xdotool key Escape
wait_exit 10
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$work/stderr")"
[ "$(hex "$work/data/hiscore.dat")" = "00 00 00 00" ] || fail "hiscore.dat: $(hex "$work/data/hiscore.dat")"
[ "$(hex "$work/data/anaglyph3d.dat")" = "00 00 00 00" ] || fail "anaglyph3d.dat: $(hex "$work/data/anaglyph3d.dat")"
echo "ok"
