# Shared by the end-to-end scripts: a scratch working folder with the sounds, the game
# started in it, its window found, and points of the 640 x 480 screen mapped to the X
# screen the way the display scales it (largest 4:3 rectangle, centred).
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d /tmp/aerovane-e2e-XXXXXX)
game_pid=""
cleanup() {
  if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then kill -KILL "$game_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/data"
cp "$AEROVANE_DATA"/*.ogg "$work/data/" 2>/dev/null || true

start_game() {
  (cd "$work" && exec "$AEROVANE") >"$work/stdout" 2>"$work/stderr" &
  game_pid=$!
  window=""
  for _ in $(seq 1 100); do
    window=$(xdotool search --name "Aerovane 2D/3D" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended at start: $(cat "$work/stderr")"
    sleep 0.1
  done
  [ -n "$window" ] || fail "no game window"
  xdotool windowfocus "$window" 2>/dev/null || true
  eval "$(xdotool getwindowgeometry --shell "$window")"
  win_x=$X win_y=$Y win_w=$WIDTH win_h=$HEIGHT
}

# screen_point X Y: sets px, py to the X screen point showing pixel (X, Y) of the game.
screen_point() {
  read -r px py < <(awk -v x="$1" -v y="$2" -v wx="$win_x" -v wy="$win_y" -v w="$win_w" -v h="$win_h" 'BEGIN {
    s = w / 640; if (h / 480 < s) s = h / 480
    rw = int(640 * s); rh = int(480 * s)
    ox = int((w - rw) / 2); oy = int((h - rh) / 2)
    printf "%d %d\n", wx + ox + (x + 0.5) * s, wy + oy + (y + 0.5) * s }')
}

click_screen() {
  screen_point "$1" "$2"
  xdotool mousemove "$px" "$py"
  sleep 0.2
  xdotool click 1
}

# wait_exit SECONDS: waits for the game to end; sets status.
wait_exit() {
  local left=$(( $1 * 10 ))
  while kill -0 "$game_pid" 2>/dev/null && [ "$left" -gt 0 ]; do sleep 0.1; left=$((left - 1)); done
  kill -0 "$game_pid" 2>/dev/null && fail "the game did not end within $1 s"
  wait "$game_pid"
  status=$?
  game_pid=""
}

# hex FILE: the bytes of a file as hex pairs separated by spaces.
hex() { od -An -tx1 "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }
