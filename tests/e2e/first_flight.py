"""A first start with no data files: the splash, skipped by Space; a game started
from the title menu; flying, turning, climbing, diving and firing, each seen on
screen; pausing by Space and by Escape, resuming, quitting to the title; Escape
ends the program, which writes both data files.

The plane's shield lasts about four seconds of control; an enemy may hit it after
that. Each game here therefore plays only a few seconds, with pauses between (the
shield does not run down while paused), and a second game gives a fresh shield.
A restart in the same folder shows the best score that the first run played."""

import os

from driver import (Game, Sprite, best_digits, check, find_sprite, log, menu_kind, read_int_file,
                    run_journey, same_text, sides_black, silent, tap_until, wait_menu, wait_until)

FACING_LEFT, FACING_RIGHT, SHOT = Sprite(0), Sprite(1), Sprite(21)


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
    check(sides_black(title), "side bars not black in the title menu")
    check(silent(game.heard_for(0.5)), "the title menu is not silent")

    # "Start Game": the fly-in under "Get Ready!!".
    game.click_row(0, changes=False)
    plane = find_sprite(game, FACING_RIGHT, "the plane flying in", 10)
    log(f"flying in at {plane}")
    check(plane[0] < 200, f"the plane flies in from the left, found at {plane}")

    # In control once it reaches x 200.
    plane = find_sprite(game, FACING_RIGHT, "the plane at x 200", 6,
                        where=lambda h: abs(h[0] - 200) <= 2)
    log(f"in control at {plane}")

    # Held, Up climbs and Down dives, 2 pixels a frame: each is held until the plane
    # has moved 12 pixels (however fast the loaded machine runs the game) and never
    # so long that it could reach the mountains.
    climbed = tap_until(game, "Up", FACING_RIGHT, "the plane climbing", lambda h: h[1] <= plane[1] - 12)
    check(abs(climbed[0] - plane[0]) <= 2, f"climbing moved the plane sideways: {plane} -> {climbed}")
    dived = tap_until(game, "Down", FACING_RIGHT, "the plane diving", lambda h: h[1] >= climbed[1] + 12)
    # Let go, it holds its height.
    dived = find_sprite(game, FACING_RIGHT, "the plane after diving")
    game.wait_frames(12)
    still = find_sprite(game, FACING_RIGHT, "the plane after diving")
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
    resumed = find_sprite(game, FACING_RIGHT, "the plane after resuming")
    check(abs(resumed[0] - dived[0]) <= 2 and abs(resumed[1] - dived[1]) <= 2,
          f"the plane moved during the pause: {dived} -> {resumed}")

    # "Quit This Game" goes to the title menu, and a new game starts from there.
    game.key("Escape")
    wait_menu(game, "pause", 5)
    game.click_row(5, changes=False)
    wait_menu(game, "title", 5)
    game.click_row(0, changes=False)
    plane = find_sprite(game, FACING_RIGHT, "the new game's plane at x 200", 10,
                        where=lambda h: abs(h[0] - 200) <= 2)

    # Left turns the plane, which then slides to the right side of the playfield.
    game.key("Left")
    turned = find_sprite(game, FACING_LEFT, "the plane turned left at x 438", 4,
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
    resumed = find_sprite(game, FACING_LEFT, "the plane after Resume Game")
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
    restarted = again.skip_splash("Escape")
    check(same_text(best_digits(restarted), best_digits(title)),
          f"the best score played is not the one kept (hiscore.dat holds {best})")
    again.key("Escape")
    check(again.wait_exit() == 0, f"exit status after the restart: {again.read_log('stderr')}")


if __name__ == "__main__":
    run_journey(journey)
