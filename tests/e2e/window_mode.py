"""F11 and Alt+Enter on a desktop of the size given (WxH): from full screen to a window
at the largest whole scale of the screen that fits, centred, and back; the menu clicked
and the plane flown with the keypad in the window; the next start in the same window."""

import os
import sys
import time

from driver import Game, Sprite, check, menu_kind, read_int_file, run_journey, wait_until

W, H = (int(v) for v in sys.argv[1].split("x"))
K = max(1, min(W // 640, H // 480))
WINDOW, PLACE = (640 * K, 480 * K), ((W - 640 * K) // 2, (H - 480 * K) // 2)


def shows(game, menu):
    wait_until(f"the {menu} menu", lambda: menu_kind(game.shot()) == menu, 15)


def skip_splash(game):
    wait_until("the splash", lambda: game.shot().max_value() > 0, 20)
    game.key("space")


def plane_y(game, where, tap=None):
    def probe():
        if tap:  # a short tap a time, so a slow game cannot carry the plane far
            game.key_down(tap)
            time.sleep(0.1)
            game.key_up(tap)
        return next((y for x, y in Sprite(1).find(game.shot()) if where(x, y)), None)
    return wait_until("the plane", probe, 10, interval=0.02)


def journey(xserver):
    game = Game(xserver).start()
    skip_splash(game)
    for key, size in (("F11", WINDOW), ("alt+Return", (W, H)), ("alt+Return", WINDOW)):
        shows(game, "title")
        game.key(key)
        place = game.follow_window(size)
        check(size != WINDOW or place == PLACE, f"the window is at {place}, not {PLACE}")
    game.click_row(0, changes=False)  # "Start Game"
    y = plane_y(game, lambda x, y: abs(x - 200) <= 2)  # in control
    plane_y(game, lambda x, up: abs(x - 200) <= 2 and up < y - 4, "KP_Up")  # NumLock off
    for menu in ("pause", "title"):
        game.key("Escape")
        shows(game, menu)
    game.key("Escape")
    window_dat = os.path.join(game.data, "window.dat")
    check(game.wait_exit() == 0 and read_int_file(window_dat) == 1, "the window was not saved")

    again = Game(xserver, work=game.work).start()
    check(again.follow_window(WINDOW) == PLACE, "the next start is not in the same window")
    skip_splash(again)
    shows(again, "title")
    again.key("Escape")
    check(again.wait_exit() == 0 and read_int_file(window_dat) == 1, "the window was not kept")


run_journey(journey, screen=(W, H))
