"""The Wayland compositor gone under the game: weston (shown on the private X server, which
gives it a seat), the game on SDL's Wayland driver, weston killed at the splash. The game
is gone within 2 s with status 1, one line of its own on the error output says the
display went away, and the data files are written."""

import os
import shutil
import subprocess
import tempfile
import time

from driver import Game, check, run_journey, wait_until

SOCKET = "aerovane-e2e"


def journey(xserver):
    runtime = tempfile.mkdtemp(prefix="aerovane-wayland-")  # 0700, as a runtime folder must be
    weston = subprocess.Popen(
        ["weston", "--backend=x11-backend.so", "--use-pixman", f"--socket={SOCKET}",
         "--width=1024", "--height=768", "--idle-time=0"],
        env={**os.environ, "DISPLAY": xserver.display, "XDG_RUNTIME_DIR": runtime},
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_until("weston", lambda: os.path.exists(os.path.join(runtime, SOCKET)), 10)
        game = Game(xserver)
        game.extra_env = {"DISPLAY": None, "WAYLAND_DISPLAY": SOCKET, "XDG_RUNTIME_DIR": runtime,
                          "SDL_VIDEODRIVER": "wayland"}
        game.start(find_window=False)
        # Past the display's own first second of presents, well into the splash.
        wait_until("the splash on Wayland", lambda: game.check_running() or game.presents() > 150,
                   20)
        weston.kill()
        lost_at = time.monotonic()
        status = game.wait_exit(10)
        took = time.monotonic() - lost_at
        check(took < 2, f"the game took {took:.1f} s to end without its compositor")
        check(status == 1, f"exit status {status}: {game.errors()}")
        # The decorations library may say it found no plugins; the rest is ours.
        said = [line for line in game.errors() if line.startswith("aerovane:")]
        check(len(said) == 1 and "display went away" in said[0] and "Wayland" in said[0],
              f"error output: {game.errors()}")
        files = game.data_files()
        check(files == {"anaglyph3d": 0, "hiscore": 0, "window": 0}, f"data files: {files}")
    finally:
        weston.kill()
        weston.wait()
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    run_journey(journey)
