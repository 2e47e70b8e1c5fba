"""The package as a player gets it: its files extracted into a scratch folder and the
game started through its launcher with a scratch home. The first start makes the
player's folder, links the sounds into it, shows the title and writes the saves there.
A second start finds saves and a link left by an install that kept its sounds elsewhere:
the saves are read, the link leads to the sounds again, a sound of the player's own
stays.

    extracted_start.py EXTRACTED_ROOT"""

import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from driver import Game, check, read_int_file, run_journey, write_int_file  # noqa: E402

ROOT = os.path.abspath(sys.argv[1])
SOUNDS = os.path.join(ROOT, "usr", "share", "games", "aerovane")


def play_to_title_and_quit(xserver, home):
    game = Game(xserver, work=home).start()
    game.skip_splash("Escape")
    game.key("Escape")
    status = game.wait_exit()
    check(status == 0, f"exit status {status}: {game.read_log('stderr')}")


def journey(xserver):
    home = tempfile.mkdtemp(prefix="aerovane-home-")
    os.environ.update(AEROVANE=os.path.join(ROOT, "usr", "games", "aerovane"), HOME=home)
    os.environ.pop("XDG_DATA_HOME", None)
    data = os.path.join(home, ".local", "share", "aerovane", "data")
    try:
        play_to_title_and_quit(xserver, home)
        for name in ("hiscore.dat", "anaglyph3d.dat"):
            check(read_int_file(os.path.join(data, name)) == 0, f"{name} not saved as 0")
        sounds = sorted(n for n in os.listdir(SOUNDS) if n.endswith(".ogg"))
        check(len(sounds) == 8, f"the package holds {len(sounds)} sounds")
        for name in sounds:
            check(os.path.realpath(os.path.join(data, name)) == os.path.join(SOUNDS, name),
                  f"{name} not linked to the installed sound")

        write_int_file(os.path.join(data, "hiscore.dat"), 42)
        os.remove(os.path.join(data, "fire.ogg"))
        os.symlink("/nowhere/aerovane/fire.ogg", os.path.join(data, "fire.ogg"))
        own = os.path.join(data, "explode.ogg")
        os.remove(own)
        shutil.copy(os.path.join(SOUNDS, "pldeath.ogg"), own)
        play_to_title_and_quit(xserver, home)
        check(read_int_file(os.path.join(data, "hiscore.dat")) == 42, "the saved best score was lost")
        check(os.path.realpath(os.path.join(data, "fire.ogg")) == os.path.join(SOUNDS, "fire.ogg"),
              "the stale link was not renewed")
        check(not os.path.islink(own), "the player's own sound was replaced")
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    run_journey(journey)
