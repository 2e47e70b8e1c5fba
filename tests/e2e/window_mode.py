"""F11 and Alt+Enter on a desktop of the size given (WxH): from full screen to a window
at the largest whole scale of the screen that fits, centred, and back; the menu clicked
and the plane flown with the keypad in the window; the window kept for the next start."""

import os
import sys
import time

from driver import Game, Sprite, check, log, menu_kind, read_int_file, run_journey, wait_until

W, H = (int(v) for v in sys.argv[1].split("x"))
K = max(1, min(W // 640, H // 480))
WINDOW, PLACE = (640 * K, 480 * K), ((W - 640 * K) // 2, (H - 480 * K) // 2)


def title(game):
    wait_until("the title menu", lambda: menu_kind(game.shot()) == "title", 15)


def plane(game, where=lambda h: True):
    hits = lambda: [h for h in Sprite(1).find(game.shot()) if where(h)]
    return wait_until("the plane", lambda: (hits() or [None])[0], 10, interval=0.02)


def journey(xserver):
    game = Game(xserver).start()
    title(game)
    game.key("F11")
    check(game.follow_window(WINDOW) == PLACE, f"the {WINDOW} window is not centred")
    title(game)
    game.key("alt+Return")
    game.follow_window((W, H))
    title(game)
    game.key("F11")
    game.follow_window(WINDOW)
    game.click_row(0, changes=False)  # "Start Game", in the window
    start = plane(game, lambda h: abs(h[0] - 200) <= 2)
    game.key_down("KP_Up")  # NumLock off: the keypad's Up climbs
    time.sleep(0.3)
    game.key_up("KP_Up")
    climbed = plane(game, lambda h: h[1] < start[1] - 4)
    log(f"flew in the window from {start} to {climbed}")
    for menu in ("pause", "title", None):
        game.key("Escape")
        if menu:
            wait_until(f"the {menu} menu", lambda: menu_kind(game.shot()) == menu, 5)
    check(game.wait_exit() == 0, "the game did not end normally")
    window_dat = os.path.join(game.data, "window.dat")
    check(read_int_file(window_dat) == 1, "data/window.dat does not say window")

    again = Game(xserver, work=game.work).start()
    check(again.follow_window(WINDOW) == PLACE, "the next start is not in the same window")
    title(again)
    again.key("Escape")
    check(again.wait_exit() == 0 and read_int_file(window_dat) == 1, "the window was not kept")


run_journey(journey, screen=(W, H))
