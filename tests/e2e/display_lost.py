"""The X server gone under the running game, as a crash (SIGKILL) or a shutdown (SIGTERM)
ends it: at the title, in play and in a window, the game is gone within 2 s with status 1,
one line of the error output says the display went away, and the data files hold what
the player chose, a glasses type picked in a menu not yet left included."""

import os
import signal
import time

from driver import Game, Sprite, XServer, check, run_journey, wait_until


def lose_display(game, xserver, sig):
    """Kills the game's X server; returns its data files once it has ended as it should."""
    xserver.kill(sig)
    lost_at = time.monotonic()
    status = game.wait_exit(10)
    took = time.monotonic() - lost_at
    check(took < 2, f"the game took {took:.1f} s to end without its display")
    check(status == 1, f"exit status {status} without the display")
    said = game.errors()
    check(len(said) == 1 and "display went away" in said[0], f"error output: {said}")
    return game.data_files()


def journey(xserver):
    servers = []

    def another_server():
        servers.append(XServer())
        return servers[-1]

    try:
        # At the title, glasses type "M\\G" picked: only the way out can have saved it.
        game = Game(xserver).start()
        game.skip_splash()
        game.click_row(1)
        files = lose_display(game, xserver, signal.SIGKILL)
        check(files == {"anaglyph3d": 1, "hiscore": 0, "window": 0}, f"after the title: {files}")

        # In play, in the same folder: the choices stand.
        x = another_server()
        game = Game(x, work=game.work).start()
        game.skip_splash()
        game.click_row(0, changes=False)  # "Start Game"
        plane = Sprite(1)
        wait_until("the plane flying in", lambda: plane.find(game.shot()), 10)
        files = lose_display(game, x, signal.SIGTERM)
        check(files == {"anaglyph3d": 1, "hiscore": 0, "window": 0}, f"after play: {files}")

        # In a window: the choice is on disk as soon as it is made, and stays.
        x = another_server()
        game = Game(x).start()
        game.skip_splash()
        game.key("F11")
        game.follow_window((1280, 960), (0, 32))
        window_dat = os.path.join(game.data, "window.dat")
        wait_until("window.dat saved", lambda: os.path.exists(window_dat), 5)
        check(game.data_files() == {"window": 1}, f"saved at F11: {game.data_files()}")
        files = lose_display(game, x, signal.SIGKILL)
        check(files == {"anaglyph3d": 0, "hiscore": 0, "window": 1}, f"in a window: {files}")
    finally:
        for server in servers:
            server.stop()


if __name__ == "__main__":
    run_journey(journey)
