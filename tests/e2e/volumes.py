"""Both volumes changed in the menus and heard in the mixer's real output (SDL's
disk driver): the effects sample that each "Sound Volume" click plays, silent at
"Off", then twice, three, four and five times as loud at 20% to 50% as at 10%;
the engine drone a third as loud
after "BiPlane Volume" went from 60% to 20% in the pause menu; the menus silent.

Runs on a 640 x 480 X screen: the game's screen unscaled, and the lightest load,
since a starved mixer goes quiet for over a second and then plays on late."""

from driver import Game, check, level, log, menu_kind, peak, run_journey, silent, wait_menu, wait_until


def burst_peak(game, mark):
    """The peak of the one effects sample cued after `mark`, once all of it has been
    heard. A mixer that falls behind on a loaded machine goes quiet for a second or
    more and then plays on, so silence alone does not tell that a sample is over:
    its 0.2 s of sound must have been heard. Only then may the next one be cued, or
    the two would be heard together."""
    def whole():
        samples = game.audio(mark, game.audio_mark())
        heard = sum(1 for i in range(0, len(samples) - 1, 2) if samples[i] or samples[i + 1])
        return samples if heard >= 0.19 * 44100 and silent(samples[-8820:]) else None
    return peak(wait_until("the whole sample", whole, 8))


def drone_level(game):
    """Resumes play from the pause menu and returns the level of the engine drone,
    which starts again from its beginning at the current engine volume."""
    mark = game.wait_quiet(0.5)
    game.key("space")
    game.wait_sound(mark)
    samples = game.audio(mark, game.audio_mark())
    first = next(i for i, s in enumerate(samples) if s) // 2
    return level(game.heard(mark + first, 1.0))


def journey(xserver):
    game = Game(xserver)
    game.start()
    wait_until("the splash", lambda: game.shot().max_value() > 0, 15)
    game.key("space")
    wait_menu(game, "title")
    check(silent(game.heard_for(0.5)), "the title menu is not silent")

    # "Sound Volume" goes from Max to Off, and plays its sample at volume 0; then
    # 10% to 50%, each sample heard on its own.
    mark = game.audio_mark()
    game.click_row(3)
    check(silent(game.heard(mark, (game.audio_mark() - mark) / 44100 + 1.0)),
          "the sample at \"Off\" was heard")
    peaks = []
    for _ in range(5):
        mark = game.audio_mark()
        game.click_row(3)
        peaks.append(burst_peak(game, mark))
    log(f"effects sample peaks at 10% to 50%: {peaks}")
    check(peaks[0] > 100, f"the sample at 10% is not heard (peak {peaks[0]})")
    for step, p in enumerate(peaks, 1):
        check(abs(p / (step * peaks[0]) - 1) < 0.1, f"the sample at {step}0% is not {step} times "
              f"as loud as at 10%: peaks {peaks}")

    # Play at the engine's first volume, 60%; paused after the stage-start sound is
    # over, so the drone is heard alone when play resumes. The plane's shield lasts
    # longer than all the play here: nothing else can sound.
    game.click_row(0, changes=False)
    wait_until("play", lambda: menu_kind(game.shot()) is None, 5)
    game.heard_for(2.0)
    game.key("space")
    wait_menu(game, "pause")
    at_60 = drone_level(game)

    # The pause menu is silent, and "BiPlane Volume" plays nothing while it goes
    # 70, 80, 90, Max, Off, 10, 20%.
    game.key("space")
    wait_menu(game, "pause")
    mark = game.wait_quiet()
    for _ in range(7):
        game.click_row(4)
    check(silent(game.audio(mark, game.audio_mark())),
          "the pause menu is not silent while the engine volume changes")
    at_20 = drone_level(game)
    log(f"engine drone level: {at_60:.0f} at 60%, {at_20:.0f} at 20%")
    check(at_20 > 20, f"the engine is not heard at 20% (level {at_20:.1f})")
    check(2.6 <= at_60 / at_20 <= 3.4, f"60% is not three times 20%: {at_60:.0f} and {at_20:.0f}")

    # Back to the title, silent again, and out.
    game.key("Escape")
    wait_menu(game, "pause")
    game.key("Escape")
    wait_menu(game, "title")
    game.wait_quiet(1.0)
    game.key("Escape")
    status = game.wait_exit()
    check(status == 0, f"exit status {status}: {game.read_log('stderr')}")


if __name__ == "__main__":
    run_journey(journey, screen=(640, 480))
