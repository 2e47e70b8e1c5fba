"""The real program's pace by the wall clock: at most 61 frames a second over five seconds
of the title menu, and not far below 60 when the machine had a core to spare. Then, in
play, the focus goes to the root window (no window manager needed): the window asks to be
minimised, no frame is presented and the engine falls silent; back, it asks to be restored
and frames and engine come back. Away again, SIGTERM ends it with status 0, files saved."""

import os
import subprocess
import time

from driver import (Game, check, log, menu_kind, read_int_file, run_journey, silent, wait_until,
                    write_int_file)


def cpu_jiffies():
    """(idle, total) time of all cores so far."""
    with open("/proc/stat") as f:
        fields = [int(v) for v in f.readline().split()[1:]]
    return fields[3] + fields[4], sum(fields)


def go_away(game, times):
    """Focuses the root window; waits for the game's `times`-th request to be minimised
    and for half a second without a present. Returns the presents then."""
    out = subprocess.run(["xwininfo", "-root", "-int"], env=game.env(), capture_output=True,
                         text=True, check=True).stdout
    game.xdo("windowfocus", next(line.split()[3] for line in out.splitlines() if "Window id:" in line))
    wait_until("a request to be minimised", lambda: requests(game, "minimise") == times, 5)
    counts = []

    def held():
        counts.append(game.presents())
        time.sleep(0.5)  # the span measured
        return game.presents() == counts[-1]
    wait_until("the game to hold", held, 5, interval=0)
    return counts[-1]


def requests(game, kind):
    return sum(1 for line in game.frame_log() if line[0] == kind)


def journey(xserver):
    game = Game(xserver)
    write_int_file(os.path.join(game.data, "hiscore.dat"), 42)
    game.start()
    game.skip_splash()

    idle0, total0 = cpu_jiffies()
    frames0, t0 = game.presents(), time.monotonic()
    time.sleep(5)  # the span measured
    frames1, t1 = game.presents(), time.monotonic()
    idle1, total1 = cpu_jiffies()
    rate = (frames1 - frames0) / (t1 - t0)
    spare = (idle1 - idle0) / (total1 - total0) * os.cpu_count()
    log(f"{frames1 - frames0} presents in {t1 - t0:.2f} s: {rate:.1f} a second, {spare:.1f} cores spare")
    check(rate <= 61, f"the game runs faster than 60 frames a second: {rate:.1f}")
    check(spare < 1.0 or rate >= 40, f"{rate:.1f} frames a second with {spare:.1f} cores spare")

    # Play until the stage-start sound (four seconds at most) has played out beside the engine.
    mark = game.audio_mark()
    game.click_row(0, changes=False)
    wait_until("play", lambda: menu_kind(game.shot()) is None, 5)
    game.wait_sound(mark, seconds=4.5)

    held = go_away(game, 1)
    game.wait_quiet(0.5)
    check(silent(game.heard_for(1.0)), "the engine is heard while the window is away")
    check(game.presents() == held, "frames were presented while the window was away")

    mark = game.audio_mark()
    game.xdo("windowfocus", game.window)
    wait_until("a request to be restored", lambda: requests(game, "restore") == 1, 5)
    game.wait_frames(30, "frames after coming back")
    game.wait_sound(mark)

    go_away(game, 2)
    game.terminate()
    status = game.wait_exit()
    check(status == 0, f"exit status {status} after SIGTERM while away: {game.read_log('stderr')}")
    check(read_int_file(os.path.join(game.data, "hiscore.dat")) == 42, "the best score was lost")
    check(read_int_file(os.path.join(game.data, "anaglyph3d.dat")) == 0, "no glasses type saved")


if __name__ == "__main__":
    run_journey(journey, screen=(640, 480))
