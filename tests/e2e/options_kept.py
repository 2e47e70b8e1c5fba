"""Options are kept: chosen in the title menu and saved as the menu is left (a kill -9
in play loses nothing), they are back after a restart; a damaged options.dat starts
with the defaults and is replaced at exit."""

import os
import struct

from driver import Game, check, run_journey, wait_until


def journey(xserver):
    def rows(game):  # the two volume items, the pointer away from them
        game.point_at(320, 100)
        game.wait_frames(3)
        return [game.row_picture(r) for r in (3, 4)]

    def stored():
        with open(os.path.join(game.data, "options.dat"), "rb") as f:
            return f.read()

    game = Game(xserver).start()
    game.skip_splash()
    defaults = rows(game)
    for row in (2, 3, 3, 4):  # retro lines on; effects Max, Off, 10%; engine 60%, 70%
        game.click_row(row)
    chosen = rows(game)
    game.click_row(0, changes=False)  # "Start Game"
    wait_until("the saved options", lambda: os.path.exists(os.path.join(game.data, "options.dat"))
               and stored() == struct.pack("<3i", 1, 1, 7), 10)
    game.proc.kill()
    game.proc.wait()

    for data, retro, expected in ((None, True, chosen), (b"\x01\x00\x00", False, defaults)):
        if data:
            with open(os.path.join(game.data, "options.dat"), "wb") as f:
                f.write(data)
        again = Game(xserver, work=game.work).start()
        again.skip_splash()
        check(rows(again) == expected, f"the volumes are not the {'chosen' if retro else 'default'} ones")
        again.shot()
        check(again.retro_lines_seen() == retro, f"retro lines {'off' if retro else 'on'}")
        again.key("Escape")
        check(again.wait_exit() == 0, f"exit status: {again.read_log('stderr')}")
    check(stored() == struct.pack("<3i", 0, 10, 6), f"options.dat holds {stored()!r} after exit")


if __name__ == "__main__":
    run_journey(journey)
