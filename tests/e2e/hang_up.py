"""SIGHUP, as a closing terminal or the end of a session sends it, closes the game like the
close button: status 0, the data files saved, at the title (with a glasses type picked in
the menu not yet left) and in play. A new best score is on disk as soon as its game is
over: after "Quit This Game", a kill -9 in the next game loses nothing."""

import os
import signal
import time

from driver import (Game, Sprite, best_digits, check, log, menu_kind, run_journey, same_text,
                    wait_until)

PLANE = Sprite(1)


def hang_up(game):
    game.proc.send_signal(signal.SIGHUP)
    status = game.wait_exit()
    check(status == 0 and not game.errors(), f"status {status} after SIGHUP: {game.errors()}")
    return game.data_files()


def play(game):
    game.click_row(0, changes=False)  # "Start Game"
    wait_until("the plane flying in", lambda: PLANE.find(game.shot()), 10)


def journey(xserver):
    game = Game(xserver).start()
    game.skip_splash()
    game.click_row(1)  # glasses "M\\G"
    files = hang_up(game)
    check(files == {"anaglyph3d": 1, "hiscore": 0, "window": 0}, f"at the title: {files}")

    # A game in a fresh folder (flat, so the score display reads plainly): the plane
    # starts at the height of the enemies' middle and holds it, firing, until a shot
    # brings one down and the best score moves. A plane lost on the way is no matter.
    game = Game(xserver).start()
    none = best_digits(game.skip_splash())
    play(game)
    end = time.monotonic() + 150
    while same_text(best_digits(frame := game.shot()), none):
        check(time.monotonic() < end, "no enemy shot down in 150 s")
        if menu_kind(frame) == "title":  # three planes lost: again
            play(game)
        game.xdo("key", "--delay", "40", *(["Control_L"] * 25))
    log("a new best score")
    for menu in ("pause", "title"):
        game.key("Escape")
        wait_until(f"the {menu} menu", lambda: menu_kind(game.shot()) == menu, 10)
    hiscore = os.path.join(game.data, "hiscore.dat")
    wait_until("hiscore.dat saved", lambda: os.path.exists(hiscore), 5)
    best = game.data_files()["hiscore"]
    check(best > 0 and best % 15 == 0, f"hiscore.dat holds {best}")
    play(game)
    game.proc.kill()
    game.proc.wait()
    check(game.data_files().get("hiscore") == best, f"after kill -9: {game.data_files()}")

    # SIGHUP in play, the engine running: the best stays, the rest is written.
    game = Game(xserver, work=game.work).start()
    game.skip_splash()
    play(game)
    files = hang_up(game)
    check(files == {"anaglyph3d": 0, "hiscore": best, "window": 0}, f"in play: {files}")


if __name__ == "__main__":
    run_journey(journey)
