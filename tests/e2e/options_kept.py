"""Options are kept: chosen in the title menu and saved as the menu is left (a kill -9
in play loses nothing), they are back after a restart; a damaged options.dat starts
with the defaults and is replaced at exit."""

import pathlib
import struct

from driver import Game, check, run_journey, wait_until


def journey(xserver):
    def rows(game):  # the two volume items, the pointer away from them
        game.point_at(320, 100)
        game.wait_frames(3)
        return [game.row_picture(r) for r in (3, 4)]

    game = Game(xserver).start()
    options = pathlib.Path(game.data, "options.dat")
    stored = lambda: options.read_bytes() if options.exists() else b""  # noqa: E731
    game.skip_splash()
    defaults = rows(game)
    for row in (2, 3, 3, 4):  # retro lines on; effects Max, Off, 10%; engine 60%, 70%
        game.click_row(row)
    chosen = rows(game)
    game.click_row(0, changes=False)  # "Start Game"
    wait_until("the saved options", lambda: stored() == struct.pack("<3i", 1, 1, 7), 10)
    game.proc.kill()
    game.proc.wait()

    for damaged, expected in ((None, chosen), (b"\x01\x00\x00", defaults)):
        if damaged:
            options.write_bytes(damaged)
        again = Game(xserver, work=game.work).start()
        again.skip_splash()
        check(rows(again) == expected, f"the volumes are not the {'defaults' if damaged else 'chosen ones'}")
        again.shot()
        check(again.retro_lines_seen() != bool(damaged), "the retro lines are not as they should be")
        again.key("Escape")
        check(again.wait_exit() == 0, f"exit status: {again.read_log('stderr')}")
    check(stored() == struct.pack("<3i", 0, 10, 6), f"options.dat holds {stored()!r} after exit")


if __name__ == "__main__":
    run_journey(journey)
