"""A first start with no data files: the splash, skipped by Space; a game started
from the title menu; flying, turning, climbing, diving and firing, each seen on
screen; pausing by Space and by Escape, resuming, quitting to the title; Escape
ends the program, which writes both data files.

The plane's shield lasts about four seconds of control; an enemy may hit it after
that. Each game here therefore plays only a few seconds, with pauses between (the
shield does not run down while paused), and a second game gives a fresh shield.
A restart in the same folder shows the best score that the first run played."""

import os
import time

from driver import (PATIENCE, Game, Sprite, best_digits, check, log, menu_kind, read_int_file,
                    run_journey, same_text, sides_black, silent, wait_menu, wait_until)

FACING_LEFT, FACING_RIGHT, SHOT = Sprite(0), Sprite(1), Sprite(21)


def find_plane(game, sprite, what, timeout=3.0, where=None):
    """The player's plane, polled: it blinks while its shield is up."""
    def probe():
        frame = game.shot()
        hits = sprite.find(frame)
        if where:
            hits = [h for h in hits if where(h)]
        return hits[0] if len(hits) == 1 else None
    return wait_until(what, probe, timeout, interval=0.02)


def hold_until(game, key, what, where, deadline=12.0):
    """Holds `key` in short taps until the plane is found where `where` says.

    A tap is one key-down, two frames of the game, one key-up, and the plane is looked
    for after each, so it moves a few pixels at most per look however slowly screenshots
    come on a loaded machine; a key held while polling could carry it all the way down
    into the mountains. The plane blinks while shielded: a look may miss it."""
    end = time.monotonic() + deadline * PATIENCE
    while True:
        game.key_down(key)
        try:
            game.wait_frames(2)
        finally:
            game.key_up(key)
        hits = [h for h in FACING_RIGHT.find(game.shot()) if where(h)]
        if len(hits) == 1:
            return hits[0]
        check(time.monotonic() < end, f"timed out waiting for {what}")


def fire_burst(game, count=5):
    """Fires, and returns the shots once they are seen on screen."""
    game.xdo("key", "--delay", "50", *(["Control_L"] * count))
    return wait_until("a shot on screen after firing", lambda: SHOT.find(game.shot()), 3,
                      interval=0.02)


def journey(xserver):
    game = Game(xserver)
    game.start()

    # The splash: something drawn between black bars, and not yet the menu.
    def splash_shown():
        frame = game.shot()
        return frame.max_value() > 0 and menu_kind(frame) is None and sides_black(frame)
    wait_until("the splash", splash_shown, 15)
    game.key("space")
    title = wait_menu(game, "title")
    # Unskipped, the flat splash lasts 326 frames from the first one with anything on it.
    splash_start = next((int(line[2]) for line in game.frame_log() if line[0] == "first_content"), None)
    check(splash_start is not None, "no frame with anything on it before the title menu")
    check(game.presents() - splash_start < 326, "Space did not cut the splash short")
    check(sides_black(title), "side bars not black in the title menu")
    check(silent(game.heard_for(0.5)), "the title menu is not silent")

    # "Start Game": the fly-in under "Get Ready!!".
    game.click_row(0, changes=False)
    plane = find_plane(game, FACING_RIGHT, "the plane flying in", 10)
    log(f"flying in at {plane}")
    check(plane[0] < 200, f"the plane flies in from the left, found at {plane}")

    # In control once it reaches x 200.
    plane = find_plane(game, FACING_RIGHT, "the plane at x 200", 6,
                       where=lambda h: abs(h[0] - 200) <= 2)
    log(f"in control at {plane}")

    # Held, Up climbs and Down dives, 2 pixels a frame: each is held until the plane
    # has moved 12 pixels (however fast the loaded machine runs the game) and never
    # so long that it could reach the mountains.
    climbed = hold_until(game, "Up", "the plane climbing", lambda h: h[1] <= plane[1] - 12)
    check(abs(climbed[0] - plane[0]) <= 2, f"climbing moved the plane sideways: {plane} -> {climbed}")
    dived = hold_until(game, "Down", "the plane diving", lambda h: h[1] >= climbed[1] + 12)
    # Let go, it holds its height.
    dived = find_plane(game, FACING_RIGHT, "the plane after diving")
    game.wait_frames(12)
    still = find_plane(game, FACING_RIGHT, "the plane after diving")
    check(still == dived, f"the plane moved on after Down was let go: {dived} -> {still}")

    shots = fire_burst(game)
    log(f"shots ahead: {shots}")
    check(all(x > dived[0] and abs(y - dived[1]) <= 2 for x, y in shots),
          f"shots not ahead of the plane facing right at {dived}: {shots}")

    # Space pauses: the pause menu, and the engine stops.
    game.key("space")
    pause = wait_menu(game, "pause", 5)
    check(sides_black(pause), "side bars not black in the pause menu")
    # The engine stops; what was playing fades out and the menu stays silent.
    game.wait_quiet(1.0)
    check(not SHOT.find(pause) and not FACING_RIGHT.find(pause),
          "the world is drawn in the pause menu")

    # Space resumes where play stopped.
    game.key("space")
    resumed = find_plane(game, FACING_RIGHT, "the plane after resuming")
    check(abs(resumed[0] - dived[0]) <= 2 and abs(resumed[1] - dived[1]) <= 2,
          f"the plane moved during the pause: {dived} -> {resumed}")

    # "Quit This Game" goes to the title menu, and a new game starts from there.
    game.key("Escape")
    wait_menu(game, "pause", 5)
    game.click_row(5, changes=False)
    wait_menu(game, "title", 5)
    game.click_row(0, changes=False)
    plane = find_plane(game, FACING_RIGHT, "the new game's plane at x 200", 10,
                       where=lambda h: abs(h[0] - 200) <= 2)

    # Left turns the plane, which then slides to the right side of the playfield.
    game.key("Left")
    turned = find_plane(game, FACING_LEFT, "the plane turned left at x 438", 4,
                        where=lambda h: abs(h[0] - 438) <= 2)
    check(abs(turned[1] - plane[1]) <= 2, f"turning changed the height: {plane} -> {turned}")
    shots = fire_burst(game)
    log(f"shots ahead: {shots}")
    check(all(x < turned[0] and abs(y - turned[1]) <= 2 for x, y in shots),
          f"shots not ahead of the plane facing left at {turned}: {shots}")
    # Shots fly on and leave the playfield.
    wait_until("the shots to leave", lambda: not SHOT.find(game.shot()), 3)

    # Escape pauses too; "Resume Game" resumes where play stopped.
    game.key("Escape")
    wait_menu(game, "pause", 5)
    game.click_row(0, changes=False)
    resumed = find_plane(game, FACING_LEFT, "the plane after Resume Game")
    check(abs(resumed[0] - turned[0]) <= 2 and abs(resumed[1] - turned[1]) <= 2,
          f"the plane moved during the pause: {turned} -> {resumed}")

    # Escape, Escape: pause menu, then title menu; a third Escape ends the program.
    game.key("Escape")
    wait_menu(game, "pause", 5)
    game.key("Escape")
    title = wait_menu(game, "title", 5)
    game.key("Escape")
    status = game.wait_exit()
    check(status == 0, f"exit status {status}: {game.read_log('stderr')}")
    best = read_int_file(os.path.join(game.data, "hiscore.dat"))
    glasses = read_int_file(os.path.join(game.data, "anaglyph3d.dat"))
    check(glasses == 0, f"anaglyph3d.dat holds {glasses}, not 0")
    check(not [n for n in os.listdir(game.data) if n.endswith(".new")],
          "a temporary file was left in data/")

    # The restart shows the best score that was shown when the first run ended.
    again = Game(xserver, work=game.work)
    again.start()
    wait_until("the splash", lambda: again.shot().max_value() > 0, 15)
    again.key("Escape")
    restarted = wait_menu(again, "title")
    check(same_text(best_digits(restarted), best_digits(title)),
          f"the best score played is not the one kept (hiscore.dat holds {best})")
    again.key("Escape")
    check(again.wait_exit() == 0, f"exit status after the restart: {again.read_log('stderr')}")


if __name__ == "__main__":
    run_journey(journey)
