# Without any display the game says why on one line and ends with status 1 at once.
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d /tmp/aerovane-e2e-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data"
start=$(date +%s%N)
(cd "$work" && env -u DISPLAY -u SDL_VIDEODRIVER -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR timeout 10 "$AEROVANE") \
  >"$work/stdout" 2>"$work/stderr"
status=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$status" -eq 1 ] || fail "exit status $status"
[ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "expected one line on stderr, got: $(cat "$work/stderr")"
grep -q '^aerovane: .*display' "$work/stderr" || fail "no reason given: $(cat "$work/stderr")"
[ "$elapsed_ms" -lt 1000 ] || fail "took $elapsed_ms ms"
[ -z "$(ls -A "$work/data")" ] || fail "a data file was written without a game"
echo "ok: $(cat "$work/stderr") ($elapsed_ms ms)"
