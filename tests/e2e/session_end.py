"""The session ending under the game: the X server killed (crash or shutdown) at the title,
in play and in a window, and the Wayland compositor killed: gone within 2 s, status 1, one
line of ours saying why. SIGHUP at the title and in play: status 0. Each time the data files
hold what the player chose, a glasses type picked in a menu not yet left included. A new
best score is on disk once its game is over: a kill -9 in the next game loses nothing."""

import os, signal, subprocess, tempfile, time  # noqa: E401

from driver import Game, Sprite, XServer, best_digits, check, menu_kind, run_journey, same_text, wait_until


def ended(game, end, status, files):
    end()
    start = time.monotonic()
    check(game.wait_exit(10) == status and time.monotonic() - start < 2, f"not gone as {status}")
    said = [line for line in game.read_log("stderr").splitlines() if line.startswith("aerovane:")]
    check(len(said) == (status == 1) and all("display went away" in s for s in said), f"said {said}")
    held = {n[:-4]: int.from_bytes(open(os.path.join(game.data, n), "rb").read(), "little", signed=True)
            for n in os.listdir(game.data) if n[-4:] in (".dat", ".new") and n != "options.dat"}
    check(held == files, f"data files {held}, not {files}")


def play(game):
    game.click_row(0, changes=False)  # "Start Game"
    wait_until("the plane", lambda: Sprite(1).find(game.shot()), 10)


def journey(x):
    for sig, where, files in ((signal.SIGKILL, "title", {"anaglyph3d": 1, "hiscore": 0, "window": 0}),
                              (signal.SIGTERM, "play", {"anaglyph3d": 0, "hiscore": 0, "window": 0}),
                              (signal.SIGKILL, "window", {"anaglyph3d": 0, "hiscore": 0, "window": 1}),
                              (signal.SIGHUP, "title", {"anaglyph3d": 1, "hiscore": 0, "window": 0}),
                              (signal.SIGHUP, "play", {"anaglyph3d": 0, "hiscore": 0, "window": 0})):
        server = XServer() if sig != signal.SIGHUP else x
        game = Game(server).start()
        game.skip_splash()
        {"title": lambda: game.click_row(1), "play": lambda: play(game),  # glasses "M\\G"
         "window": lambda: (game.key("F11"), game.follow_window((1280, 960), (0, 32)))}[where]()
        if sig == signal.SIGHUP:
            ended(game, lambda: game.proc.send_signal(sig), 0, files)
        else:
            ended(game, lambda: server.kill(sig), 1, files)
            server.stop()

    # Firing while sweeping the sky between the top of the band and well above the mountains
    # (two pixels a frame: about 180 pixels a burst), until a shot brings an enemy down;
    # where the enemies fly is random.
    game = Game(x).start()
    none = best_digits(game.skip_splash())
    play(game)
    end = time.monotonic() + 200
    sweep = 0
    while same_text(best_digits(frame := game.shot()), none):
        check(time.monotonic() < end, "no enemy shot down")
        if menu_kind(frame) == "title":  # three planes lost
            play(game)
            sweep = 0
        way = "Up" if sweep % 2 == 0 else "Down"
        game.key_down(way)
        game.xdo("key", "--delay", "40", *(["Control_L"] * (15 if sweep == 0 else 38)))
        game.key_up(way)
        sweep += 1
    # Escape pauses, but not while the plane is going down (it may have met an enemy): then
    # once more. Escape in the pause menu quits to the title, where the best is saved.
    deadline = time.monotonic() + 30
    while (kind := menu_kind(game.shot())) not in ("pause", "title"):
        check(time.monotonic() < deadline, "no pause menu")
        game.key("Escape")
        time.sleep(0.5)
    if kind == "pause":
        game.key("Escape")
    hiscore = os.path.join(game.data, "hiscore.dat")
    wait_until("the best saved", lambda: os.path.exists(hiscore), 10)
    best = int.from_bytes(open(hiscore, "rb").read(), "little")
    play(game)
    ended(game, game.proc.kill, -9, {"anaglyph3d": 0, "hiscore": best})
    # On the first stage an enemy is worth 15 and the blimp, which the sweep may hit, 250.
    check(best > 0 and any((best - 250 * k) % 15 == 0 for k in range(best // 250 + 1)), f"best {best}")

    # Weston on the X server (for a seat), the game on SDL's Wayland driver.
    with tempfile.TemporaryDirectory() as runtime:
        weston = subprocess.Popen(["weston", "--backend=x11-backend.so", "--use-pixman", "--socket=wl",
                                   "--idle-time=0"], stderr=subprocess.DEVNULL,
                                  env={**os.environ, "DISPLAY": x.display, "XDG_RUNTIME_DIR": runtime})
        try:
            wait_until("weston", lambda: os.path.exists(os.path.join(runtime, "wl")), 10)
            game = Game(x)
            game.extra_env = {"DISPLAY": None, "WAYLAND_DISPLAY": "wl", "XDG_RUNTIME_DIR": runtime,
                              "SDL_VIDEODRIVER": "wayland"}
            game.start(find_window=False)
            wait_until("the splash", lambda: game.check_running() or game.presents() > 150, 20)
            ended(game, weston.kill, 1, {"anaglyph3d": 0, "hiscore": 0, "window": 0})
        finally:
            weston.kill()
            weston.wait()

if __name__ == "__main__":
    run_journey(journey)
