"""A start in a folder without any data folder: no sounds, no saved files. The game
plays anyway, in silence; Escape three times leads from play to the pause menu, to
the title menu and out, with status 0, nothing on the error output and nothing
written (there is no folder to write into)."""

import os

from driver import Game, Sprite, check, run_journey, silent, wait_menu, wait_until


def journey(xserver):
    game = Game(xserver, data_dir=False)
    game.start()
    game.skip_splash("Escape")
    mark = game.audio_mark()
    game.click_row(0, changes=False)
    plane = Sprite(1)
    wait_until("the plane flying in", lambda: plane.find(game.shot()), 10)
    # No stage-start sound and no engine: the sounds are missing, not broken.
    check(silent(game.heard(mark, 1.5)), "sound without any sound file")
    game.key("Escape")
    wait_menu(game, "pause", 5)
    game.key("Escape")
    wait_menu(game, "title", 5)
    game.key("Escape")
    status = game.wait_exit()
    check(status == 0, f"exit status {status}")
    # SDL's disk driver announces itself there; nothing else may.
    errors = [line for line in game.read_log("stderr").splitlines()
              if not line.startswith("CRITICAL:")]
    check(not errors, f"error output: {errors}")
    made = set(os.listdir(game.work)) - {"audio.raw", "frames.log", "presents", "stderr", "stdout"}
    check(not made, f"the game made files: {sorted(made)}")


if __name__ == "__main__":
    run_journey(journey, screen=(640, 480))
