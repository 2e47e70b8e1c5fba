"""F11 and Alt+Enter on a desktop of the size given (WxH): from full screen to a window
at the largest whole scale of the screen that fits, centred, and back; the menu clicked
and the plane flown with the keypad in the window; the next start in the same window.
With "no-glx" after the size, on an X server without OpenGL, where the game chooses its
software renderer by itself and loads no GL driver."""

import os
import sys

from driver import Game, Sprite, check, find_sprite, read_int_file, run_journey, tap_until, wait_menu

W, H = (int(v) for v in sys.argv[1].split("x"))
NO_GLX = sys.argv[2:] == ["no-glx"]
K = max(1, min(W // 640, H // 480))
WINDOW, PLACE = (640 * K, 480 * K), ((W - 640 * K) // 2, (H - 480 * K) // 2)
PLANE = Sprite(1)


def no_gl_loaded(game):
    with open(f"/proc/{game.proc.pid}/maps") as maps:
        loaded = {line.split()[-1] for line in maps if "/" in line}
    # libGL itself is linked in; the drivers behind it (Mesa and its LLVM) load with a context.
    gl = sorted(p for p in loaded if any(n in os.path.basename(p) for n in ("_dri", "gallium", "GLX_mesa", "LLVM")))
    check(not gl, f"a GL driver was loaded: {gl}")


def journey(xserver):
    game = Game(xserver)
    if NO_GLX:
        game.extra_env["AEROVANE_RENDERER"] = None  # the game's own choice
    game.start()
    if NO_GLX:
        no_gl_loaded(game)
    game.skip_splash()
    for key, size in (("F11", WINDOW), ("alt+Return", (W, H)), ("alt+Return", WINDOW)):
        wait_menu(game, "title", 15)
        game.key(key)
        game.follow_window(size, PLACE if size == WINDOW else (0, 0))
    game.click_row(0, changes=False)  # "Start Game"
    _, y = find_sprite(game, PLANE, "the plane in control", 10, lambda h: abs(h[0] - 200) <= 2)
    tap_until(game, "KP_Up", PLANE, "the plane climbing on the keypad, NumLock off",
              lambda h: abs(h[0] - 200) <= 2 and h[1] < y - 4)
    for menu in ("pause", "title"):
        game.key("Escape")
        wait_menu(game, menu, 15)
    game.key("Escape")
    window_dat = os.path.join(game.data, "window.dat")
    check(game.wait_exit() == 0 and read_int_file(window_dat) == 1, "the window was not saved")
    said = [line for line in game.read_log("stderr").splitlines() if line.startswith("aerovane:")]
    check(not said, f"the game said: {said}")

    again = Game(xserver, work=game.work)
    again.extra_env = game.extra_env
    again.start()
    again.follow_window(WINDOW, PLACE)  # the next start in the same window
    again.skip_splash()
    again.key("Escape")
    check(again.wait_exit() == 0 and read_int_file(window_dat) == 1, "the window was not kept")


run_journey(journey, screen=(W, H), xvfb_args=("-extension", "GLX") if NO_GLX else ())
