"""The two looks, chosen in the menus and seen on the next screenshots: retro lines
over the title and over play, then each glasses type in turn, and play in red/cyan
stereo. SIGTERM in the middle of that game ends the program with status 0 and the
glasses type saved; a restart in the same folder finds it (its splash is already in
stereo), and "Exit Game" ends it. Leaves stereo.png and retro.png of play in the
working folder."""

import os

from driver import (Backdrop, Game, Sprite, check, glasses_shown, item_extent, log, menu_kind,
                    read_int_file, run_journey, wait_menu, wait_until)

FACING_RIGHT = Sprite(1)


def even(y):
    return y % 2 == 0


def wait_control(game):
    """Play with the plane in control at x 200 (after the fly-in)."""
    def probe():
        frame = game.shot()
        return frame if [h for h in FACING_RIGHT.find(frame) if abs(h[0] - 200) <= 1] else None
    return wait_until("the plane in control", probe, 10, interval=0.02)


def journey(xserver):
    game = Game(xserver)
    game.start()
    wait_until("the splash", lambda: game.shot().max_value() > 0, 15)
    game.click(320, 240)  # the left button skips the splash too
    title = wait_menu(game, "title")
    check(glasses_shown(title, menu=True) == 0, "the title menu's sky is not flat and tinted")
    check(not game.retro_lines_seen(), "retro lines before they were chosen")

    # Retro lines over the title menu, then over play.
    game.click_row(2)
    wait_until("retro lines over the title menu", lambda: game.shot() and game.retro_lines_seen(), 5)
    game.click_row(0, changes=False)

    def retro_play():
        frame = game.shot()
        return (frame if menu_kind(frame) is None and game.retro_lines_seen()
                and Backdrop(0, False).share(frame, 112, 40, 522, 330, even) > 0.6 else None)
    wait_until("play with retro lines", retro_play, 10)
    # The plane is still seen between the lines, in its own colours (once flown in,
    # for the picture).
    def plane_between_lines():
        frame = retro_play()
        return (frame if frame and [x for x, _ in FACING_RIGHT.find(frame, rows=even) if x >= 195]
                else None)
    wait_until("the plane between the scan lines", plane_between_lines, 10,
               interval=0.02).save_png("retro.png")

    # In the pause menu: retro lines off, then each glasses type in turn, each seen on
    # the menu's sky (the menu itself stays flat).
    game.key("Escape")
    wait_menu(game, "pause")
    game.click_row(2)
    wait_until("retro lines gone", lambda: game.shot() and not game.retro_lines_seen(), 5)
    for glasses in (1, 2, 3):
        game.click_row(1)
        frame = wait_until(f"the sky of glasses type {glasses}",
                           lambda: (lambda f: f if glasses_shown(f, menu=True) == glasses
                                    else None)(game.shot()), 5)
        pixels, _ = item_extent(frame, 5)
        check(pixels > 100, f"the menu text lost its own colours with glasses type {glasses}")

    # Play in red/cyan: sky and clouds doubled and tinted, the planes flat.
    game.key("space")
    stereo = wait_control(game)
    share = Backdrop(3, False).share(stereo, 112, 40, 522, 330)
    log(f"red/cyan sky matches {share:.0%} of the upper playfield")
    check(share > 0.6, f"play does not show the red/cyan sky ({share:.0%})")
    check(Backdrop(0, False).share(stereo, 112, 40, 522, 330) < 0.05, "the sky is still flat")
    stereo.save_png("stereo.png")

    # SIGTERM in the middle of the game: the normal way out, with the files saved.
    game.terminate()
    status = game.wait_exit()
    check(status == 0, f"exit status {status} after SIGTERM: {game.read_log('stderr')}")
    glasses = read_int_file(os.path.join(game.data, "anaglyph3d.dat"))
    check(glasses == 3, f"anaglyph3d.dat holds {glasses}, not 3 (R\\C)")

    # The restart: the splash is in red/cyan straight away, the lines are off again (not
    # stored).
    again = Game(xserver, work=game.work)
    again.start()
    splash = wait_until("the splash in red/cyan",
                        lambda: (lambda f: f if glasses_shown(f, False, 112, 400, 522, 470) == 3
                                 else None)(again.shot()), 15)
    check(not again.retro_lines_seen(), "retro lines came back after a restart")
    check(menu_kind(splash) is None, "no splash before the menu")
    again.key("Escape")
    title = wait_menu(again, "title")
    check(glasses_shown(title, menu=True) == 3, "the title menu's sky is not red/cyan after a restart")
    again.click_row(5, changes=False)  # "Exit Game"
    status = again.wait_exit()
    check(status == 0, f"exit status {status}: {again.read_log('stderr')}")
    check(read_int_file(os.path.join(game.data, "anaglyph3d.dat")) == 3, "glasses type lost")


if __name__ == "__main__":
    run_journey(journey)
