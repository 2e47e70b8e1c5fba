"""The real program's pace, and how it holds while its window is away.

Its presents are counted against the wall clock over five seconds of the title menu:
never more than 61 a second, and, when the machine had a core to spare meanwhile, not
far below 60. Then in play the focus goes to the root window, which needs no window
manager: the full-screen window asks to be minimised, no frame is presented and the
engine falls silent; back, the window asks to be restored and frames and engine come
back. Away once more, SIGTERM (a close request) ends the game with status 0 and both
files saved. Runs on a 640 x 480 X screen, the lightest load."""

import os
import subprocess
import time

from driver import (Game, check, log, menu_kind, read_int_file, run_journey, silent, wait_menu,
                    wait_until, write_int_file)


def cpu_jiffies():
    """(idle, total) time of all cores so far."""
    with open("/proc/stat") as f:
        fields = [int(v) for v in f.readline().split()[1:]]
    return fields[3] + fields[4], sum(fields)


def root_window(game):
    out = subprocess.run(["xwininfo", "-root", "-int"], env=game.env(), capture_output=True,
                         text=True, check=True).stdout
    return next(line.split()[3] for line in out.splitlines() if "Window id:" in line)


def requests(game, kind):
    return sum(1 for line in game.frame_log() if line[0] == kind)


def wait_held(game):
    """Waits until half a second passes without a present; returns the count then."""
    counts = []

    def probe():
        counts.append(game.presents())
        time.sleep(0.5)  # the span measured
        return game.presents() == counts[-1]
    wait_until("the game to hold", probe, 5, interval=0)
    return counts[-1]


def journey(xserver):
    game = Game(xserver)
    write_int_file(os.path.join(game.data, "hiscore.dat"), 42)
    game.start()
    wait_until("the splash", lambda: game.shot().max_value() > 0, 15)
    game.key("space")
    wait_menu(game, "title")

    # Five seconds of the title menu by the wall clock.
    idle0, total0 = cpu_jiffies()
    frames0, t0 = game.presents(), time.monotonic()
    time.sleep(5)
    frames1, t1 = game.presents(), time.monotonic()
    idle1, total1 = cpu_jiffies()
    rate = (frames1 - frames0) / (t1 - t0)
    spare = (idle1 - idle0) / (total1 - total0) * os.cpu_count()
    log(f"{frames1 - frames0} presents in {t1 - t0:.2f} s: {rate:.1f} a second, "
        f"{spare:.1f} cores to spare")
    check(rate <= 61, f"the game runs faster than 60 frames a second: {rate:.1f}")
    if spare >= 1.0:
        check(rate >= 40, f"the game runs far slower than 60 frames a second on a machine "
                          f"with {spare:.1f} cores to spare: {rate:.1f}")
    else:
        log("the machine is busy: only the upper bound holds")

    # Play, with the stage-start sound and the engine.
    mark = game.audio_mark()
    game.click_row(0, changes=False)
    wait_until("play", lambda: menu_kind(game.shot()) is None, 5)
    game.wait_sound(mark)

    # Away: minimised, nothing presented, and once the effects are over, nothing heard.
    root = root_window(game)
    game.xdo("windowfocus", root)
    wait_until("the window to ask to be minimised", lambda: requests(game, "minimise") == 1, 5)
    held = wait_held(game)
    game.wait_quiet(0.5)
    check(silent(game.heard_for(1.0)), "the engine is heard while the window is away")
    check(game.presents() == held, "frames were presented while the window was away")

    # Back: restored, frames again, and the engine.
    mark = game.audio_mark()
    game.xdo("windowfocus", game.window)
    wait_until("the window to ask to be restored", lambda: requests(game, "restore") == 1, 5)
    game.wait_frames(30, "frames after coming back")
    game.wait_sound(mark)

    # Away again, then a close request: the normal way out, with the files saved.
    game.xdo("windowfocus", root)
    wait_until("the window to ask to be minimised again", lambda: requests(game, "minimise") == 2, 5)
    wait_held(game)
    game.terminate()
    status = game.wait_exit()
    check(status == 0, f"exit status {status} after SIGTERM while away: {game.read_log('stderr')}")
    check(read_int_file(os.path.join(game.data, "hiscore.dat")) == 42, "the best score was not kept")
    check(read_int_file(os.path.join(game.data, "anaglyph3d.dat")) == 0, "the glasses type was not saved")


if __name__ == "__main__":
    run_journey(journey, screen=(640, 480))
