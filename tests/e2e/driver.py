"""Drives the real game from outside, the way a player would.

Each journey gets an X server of its own (the game holds while its window is
inactive, so two games on one server would take the focus from each other), a
scratch working folder with its own copy of the sounds, and SDL's disk audio
driver, so the mixer's real output lands in a file we can measure. Keys and
clicks go through xdotool; the screen is read back with ImageMagick's import
and scaled down to the game's 640 x 480 pixels here. A preloaded shim counts the
game's presents, so a journey can wait for frames of the game rather than time.
"""

import array
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 640, 480
AUDIO_RATE = 44100
AUDIO_FRAME = 4  # signed 16-bit stereo


class JourneyFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise JourneyFailed(message)


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


# Timeouts are written for a quiet machine. On a loaded one the game runs fewer frames
# a second and each screenshot takes longer; waiting longer costs nothing when all is
# well, since every wait ends as soon as its condition holds.
PATIENCE = 3


def wait_until(what, probe, timeout, interval=0.1):
    """Polls probe() until it returns something true; returns that value."""
    timeout *= PATIENCE
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise JourneyFailed(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class Frame:
    """One screenshot, as the game's 640 x 480 pixels (RGB bytes, row by row)."""

    def __init__(self, pixels, width=SCREEN_W, height=SCREEN_H):
        self.pixels = pixels
        self.w = width
        self.h = height

    def at(self, x, y):
        i = (y * self.w + x) * 3
        p = self.pixels
        return p[i], p[i + 1], p[i + 2]

    def region(self, x0, y0, x1, y1):
        """Pixels of the rectangle [x0, x1) x [y0, y1), row by row."""
        for y in range(y0, y1):
            for x in range(x0, x1):
                yield x, y, self.at(x, y)

    def crop_bytes(self, x0, y0, x1, y1):
        rows = []
        for y in range(y0, y1):
            i = (y * self.w + x0) * 3
            rows.append(self.pixels[i:i + (x1 - x0) * 3])
        return b"".join(rows)

    def max_value(self):
        return max(self.pixels) if self.pixels else 0

    def save_png(self, path):
        ppm = b"P6\n%d %d\n255\n" % (self.w, self.h) + bytes(self.pixels)
        subprocess.run(["convert", "ppm:-", path], input=ppm, check=True)


def parse_ppm(data):
    """Width, height, offset of the pixels and max value of a binary PPM."""
    fields = []
    i = 0
    while len(fields) < 4:
        while data[i:i + 1].isspace():
            i += 1
        if data[i:i + 1] == b"#":
            while data[i:i + 1] != b"\n":
                i += 1
            continue
        j = i
        while not data[j:j + 1].isspace():
            j += 1
        fields.append(data[i:j])
        i = j
    check(fields[0] == b"P6", "screenshot is not a PPM")
    return int(fields[1]), int(fields[2]), i + 1, int(fields[3])


TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")


def sanitizer_settings():
    """The sanitizers' settings of tools/sanitizers.sh, for a game built with them."""
    out = subprocess.run(["bash", "-c", '. "$1" && env -0', "-", os.path.join(TOOLS, "sanitizers.sh")],
                         env={"PATH": os.environ.get("PATH", "/usr/bin:/bin")}, capture_output=True,
                         check=True).stdout
    pairs = (item.partition(b"=") for item in out.split(b"\0") if item)
    return {k.decode(): v.decode() for k, _, v in pairs if k.endswith(b"SAN_OPTIONS")}


os.environ.update(sanitizer_settings())


class XServer:
    """A private Xvfb from tools/xvfb.sh, by default at 1280 x 1024 like the one ./test
    provides; `extra` are further Xvfb arguments (e.g. ("-extension", "GLX")). The
    launcher keeps it while we hold its standard input, so it goes with us however we end."""

    def __init__(self, width=1280, height=1024, extra=()):
        self.proc = subprocess.Popen(
            [os.path.join(TOOLS, "xvfb.sh"), f"{width}x{height}x24", *extra, "--hold"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        line = self.proc.stdout.readline().decode().strip()
        if not line.startswith(":"):
            self.stop()
            raise JourneyFailed(f"Xvfb did not start: {self.proc.stderr.read().decode().strip()}")
        self.display = line

    def kill(self, sig=signal.SIGKILL):
        """Ends the server under its clients, as a crash (SIGKILL) or a shutdown (SIGTERM)."""
        subprocess.run(["pkill", f"-{int(sig)}", "-P", str(self.proc.pid), "-x", "Xvfb"], check=True)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.stdin.close()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


_games = []


class Game:
    """The real program in a scratch working folder of its own."""

    def __init__(self, xserver, work=None, data_dir=True):
        """A new scratch folder with data/ and a copy of the sounds (none of it with
        data_dir False), or the folder `work` of an earlier game, as it was left."""
        self.x = xserver
        self.binary = os.environ["AEROVANE"]
        self.own_work = work is None
        self.work = work or tempfile.mkdtemp(prefix="aerovane-e2e-")
        self.data = os.path.join(self.work, "data")
        if data_dir and self.own_work:
            os.makedirs(self.data)
            source = os.environ["AEROVANE_DATA"]
            for name in os.listdir(source):
                if name.endswith(".ogg"):
                    shutil.copy(os.path.join(source, name), self.data)
        self.audio_file = os.path.join(self.work, "audio.raw")
        self.counter_file = os.path.join(self.work, "presents")
        self.frame_log_file = os.path.join(self.work, "frames.log")
        self.proc = None
        self.window = None
        self.extra_env = {}  # for the game only; None removes a variable

    # -- the process --------------------------------------------------------------

    def env(self):
        env = dict(os.environ)
        env.update(DISPLAY=self.x.display, SDL_AUDIODRIVER="disk",
                   SDL_DISKAUDIOFILE=self.audio_file, LIBGL_ALWAYS_SOFTWARE="1")
        return env

    def xdo(self, *args, check_rc=True):
        result = subprocess.run(["xdotool", *args], env=self.env(), capture_output=True,
                                text=True, timeout=20)
        if check_rc and result.returncode != 0:
            raise JourneyFailed(f"xdotool {' '.join(args)}: {result.stderr.strip()}")
        return result.stdout

    def start(self, find_window=True):
        """Starts the game; waits for its window on the X server unless told not to."""
        if os.path.exists(self.audio_file):
            os.remove(self.audio_file)
        self.stdout = open(os.path.join(self.work, "stdout"), "wb")
        self.stderr = open(os.path.join(self.work, "stderr"), "wb")
        for name in (self.counter_file, self.frame_log_file):
            if os.path.exists(name):
                os.remove(name)
        env = self.env()  # the shim only for the game: xdotool and import run without it
        if os.environ.get("AEROVANE_SHIM"):  # the package check has none, and counts no frames
            env.update(LD_PRELOAD=os.environ["AEROVANE_SHIM"], AV_FRAME_COUNTER=self.counter_file,
                       AV_FRAME_LOG=self.frame_log_file, AV_EXEC_US=str(time.time_ns() // 1000))
        env.update(self.extra_env)
        env = {k: v for k, v in env.items() if v is not None}
        self.proc = subprocess.Popen([self.binary], cwd=self.work, env=env,
                                     stdout=self.stdout, stderr=self.stderr)
        _games.append(self)
        if not find_window:
            return self

        def find_window():
            self.check_running()
            out = self.xdo("search", "--name", "Aerovane 2D/3D", check_rc=False).split()
            return out[0] if out else None

        self.window = wait_until("the game window", find_window, 20)
        self.xdo("windowfocus", self.window, check_rc=False)
        geometry = {}
        for line in self.xdo("getwindowgeometry", "--shell", self.window).splitlines():
            key, _, value = line.partition("=")
            geometry[key] = int(value) if value.lstrip("-").isdigit() else value
        win_x, win_y = geometry["X"], geometry["Y"]
        win_w, win_h = geometry["WIDTH"], geometry["HEIGHT"]
        # The display shows the 640 x 480 screen in the largest 4:3 rectangle that
        # fits the window, centred, with black borders.
        self.scale = min(win_w / SCREEN_W, win_h / SCREEN_H)
        self.origin_x = win_x + (win_w - int(SCREEN_W * self.scale)) // 2
        self.origin_y = win_y + (win_h - int(SCREEN_H * self.scale)) // 2
        log(f"window {win_w}x{win_h}+{win_x}+{win_y}: scale {self.scale}, "
            f"screen at ({self.origin_x}, {self.origin_y})")
        return self

    def skip_splash(self, key="space"):
        """Waits for the splash, ends it with `key`; returns the title menu's screen."""
        wait_until("the splash", lambda: self.shot().max_value() > 0, 20)
        self.key(key)
        return wait_menu(self, "title")

    def follow_window(self, size, place=None, timeout=10):
        """Waits until the game window has the given size, and place when one is given
        (after a switch between full screen and a window the X server may apply the new
        size and place one at a time), maps the game's screen into it anew; returns its place."""
        seen = []
        def probe():
            out = self.xdo("getwindowgeometry", "--shell", self.window)
            g = {k: int(v) for k, _, v in (line.partition("=") for line in out.split())
                 if v.lstrip("-").isdigit()}
            seen[:] = [(g["WIDTH"], g["HEIGHT"]), (g["X"], g["Y"])]
            return g if seen == [tuple(size), tuple(place or seen[1])] else None
        try:
            g = wait_until(f"a {size[0]}x{size[1]} window", probe, timeout)
        except JourneyFailed as failed:
            raise JourneyFailed(f"{failed}; last seen {seen[0]} at {seen[1]}") from None
        self.scale = min(g["WIDTH"] / SCREEN_W, g["HEIGHT"] / SCREEN_H)
        self.origin_x = g["X"] + (g["WIDTH"] - int(SCREEN_W * self.scale)) // 2
        self.origin_y = g["Y"] + (g["HEIGHT"] - int(SCREEN_H * self.scale)) // 2
        return g["X"], g["Y"]

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def check_running(self):
        if not self.running():
            raise JourneyFailed(f"the game ended (status {self.proc.returncode}): "
                                f"{self.read_log('stderr')}")

    def presents(self):
        """Frames the game has presented so far."""
        check(os.environ.get("AEROVANE_SHIM"), "frames are counted only with the frame shim")
        try:
            with open(self.counter_file, "rb") as f:
                data = f.read(8)
        except FileNotFoundError:
            return 0
        return struct.unpack("=Q", data)[0] if len(data) == 8 else 0

    def wait_frames(self, n, what="frames to pass"):
        """Waits until the game has presented n more frames."""
        target = self.presents() + n
        wait_until(what, lambda: self.presents() >= target, 5, interval=0.02)

    def frame_log(self):
        """The shim's log: (event, milliseconds, rest) per line."""
        try:
            with open(self.frame_log_file) as f:
                return [line.split() for line in f if line.strip()]
        except FileNotFoundError:
            return []

    def read_log(self, name):
        with open(os.path.join(self.work, name), "rb") as f:
            return f.read().decode(errors="replace").strip()

    def wait_exit(self, timeout=15):
        try:
            status = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise JourneyFailed(f"the game did not end within {timeout} s")
        self.stdout.close()
        self.stderr.close()
        return status

    def terminate(self):
        self.proc.send_signal(signal.SIGTERM)

    def close(self):
        if self.running():
            self.proc.kill()
            self.proc.wait()
        if self.own_work:
            shutil.rmtree(self.work, ignore_errors=True)

    # -- input ------------------------------------------------------------------------

    def key(self, name):
        self.check_running()
        self.xdo("key", name)

    def key_down(self, name):
        self.xdo("keydown", name)

    def key_up(self, name):
        self.xdo("keyup", name)

    def screen_point(self, x, y):
        """The X screen point that shows pixel (x, y) of the game's screen."""
        return (int(self.origin_x + (x + 0.5) * self.scale),
                int(self.origin_y + (y + 0.5) * self.scale))

    def point_at(self, x, y):
        sx, sy = self.screen_point(x, y)
        self.xdo("mousemove", str(sx), str(sy))

    def click(self, x, y):
        self.check_running()
        self.point_at(x, y)
        self.xdo("click", "1")

    def row_picture(self, row, frame=None):
        frame = frame or self.shot()
        return frame.crop_bytes(110, row_centre(row) - 15, 524, row_centre(row) + 15)

    def click_row(self, row, changes=True, timeout=6):
        """Clicks menu row `row` once the game shows it highlighted, so the click is
        taken for that row; with `changes`, waits until the row looks different (its
        label, or the whole screen, changed). Waiting for each click's effect also
        keeps two clicks from landing in one frame, where the game takes only one."""
        self.check_running()
        self.point_at(320, row_centre(row))
        frame = wait_until(f"row {row} highlighted",
                           lambda: (lambda f: f if highlighted(f, row) else None)(self.shot()),
                           timeout)
        before = self.row_picture(row, frame)
        self.xdo("click", "1")
        if changes:
            wait_until(f"the click on row {row} to show",
                       lambda: self.row_picture(row) != before, timeout)

    # -- the screen -----------------------------------------------------------------

    def raw_shot(self):
        """The whole X screen: (width, height, RGB bytes)."""
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              env=self.env(), capture_output=True, timeout=30).stdout
        w, h, offset, maxval = parse_ppm(data)
        check(maxval == 255, "screenshot is not 8-bit")
        return w, h, data[offset:offset + w * h * 3]

    def shot(self):
        """The game's screen at its own 640 x 480 pixels, from the middle of each of
        its scaled pixels. The whole X screen is kept in self.last_raw."""
        self.check_running()
        w, h, pixels = self.last_raw = self.raw_shot()
        out = bytearray(SCREEN_W * SCREEN_H * 3)
        xs = [int(self.origin_x + (x + 0.5) * self.scale) for x in range(SCREEN_W)]
        regular = all(xs[i + 1] - xs[i] == xs[1] - xs[0] for i in range(SCREEN_W - 1))
        stride = (xs[1] - xs[0]) * 3
        o = 0
        for y in range(SCREEN_H):
            row = int(self.origin_y + (y + 0.5) * self.scale) * w * 3
            if regular:
                # Evenly spaced samples: three slices per row instead of 640 copies.
                base = row + xs[0] * 3
                chunk = pixels[base:base + SCREEN_W * stride]
                for k in range(3):
                    out[o + k:o + SCREEN_W * 3:3] = chunk[k::stride]
            else:
                for x in xs:
                    i = row + x * 3
                    out[o:o + 3] = pixels[i:i + 3]
                    o += 3
                continue
            o += SCREEN_W * 3
        return Frame(bytes(out))

    def screen_rows(self, y):
        """The X screen rows that show row y of the game's screen."""
        top = self.origin_y + int(round(y * self.scale))
        bottom = self.origin_y + int(round((y + 1) * self.scale))
        return range(top, max(bottom, top + 1))

    def retro_lines_seen(self):
        """Whether the last shot shows the scan lines: every odd row of the game's
        screen nearly black across its whole width, in every X row it is scaled to,
        while the even rows keep the picture."""
        w, _, pixels = self.last_raw
        x0 = self.origin_x * 3
        x1 = (self.origin_x + int(SCREEN_W * self.scale)) * 3
        p0 = (self.origin_x + int(110 * self.scale)) * 3
        p1 = (self.origin_x + int(524 * self.scale)) * 3
        bright_rows = 0
        for y in range(SCREEN_H):
            for r in self.screen_rows(y):
                if y % 2 == 1:
                    if max(pixels[r * w * 3 + x0:r * w * 3 + x1]) > 4:
                        return False
                elif max(pixels[r * w * 3 + p0:r * w * 3 + p1]) > 40:
                    bright_rows += 1
        return bright_rows > 0.9 * SCREEN_H / 2 * self.scale

    # -- the sound ------------------------------------------------------------------

    def audio_mark(self):
        """Where the captured audio has got to, in stereo frames."""
        try:
            return os.path.getsize(self.audio_file) // AUDIO_FRAME
        except FileNotFoundError:
            return 0

    def audio(self, start, end):
        """Samples (both channels interleaved) of stereo frames [start, end)."""
        with open(self.audio_file, "rb") as f:
            f.seek(start * AUDIO_FRAME)
            data = f.read((end - start) * AUDIO_FRAME)
        samples = array.array("h")
        samples.frombytes(data[:len(data) // 2 * 2])
        if sys.byteorder != "little":
            samples.byteswap()
        return samples

    def heard(self, mark, seconds):
        """The `seconds` of sound from `mark` on, once they have been captured."""
        end = mark + int(seconds * AUDIO_RATE)
        wait_until("the captured sound", lambda: self.audio_mark() >= end, seconds + 10)
        return self.audio(mark, end)

    def heard_for(self, seconds):
        """The next `seconds` of sound."""
        return self.heard(self.audio_mark(), seconds)

    def wait_quiet(self, seconds=0.3, timeout=8):
        """Waits until the last `seconds` of sound were silent; returns the mark then."""
        span = int(seconds * AUDIO_RATE)

        def probe():
            mark = self.audio_mark()
            return mark if mark >= span and silent(self.audio(mark - span, mark)) else None
        return wait_until("silence", probe, timeout)

    def wait_sound(self, mark, timeout=5, seconds=0.0):
        """Waits until something is heard after `mark`; with `seconds`, that much sound. A
        mixer that falls behind leaves silent gaps in the output, and plays on after them."""
        def probe():
            samples = self.audio(mark, self.audio_mark())
            return len(samples) - samples.count(0) > seconds * AUDIO_RATE * 2
        wait_until("a sound", probe, timeout + seconds)


def load_picture(path):
    """A PNG of ours as a Frame."""
    data = subprocess.run(["convert", path, "ppm:-"], capture_output=True, check=True).stdout
    w, h, offset, _ = parse_ppm(data)
    return Frame(data[offset:offset + w * h * 3], w, h)


def asset(name):
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets", name)


# Left-eye and right-eye colours of the four glasses types.
EYE_COLOURS = {1: ((140, 4, 40), (4, 100, 20)), 2: ((4, 100, 20), (140, 4, 10)),
               3: ((4, 80, 60), (140, 4, 10)), 4: ((4, 20, 140), (140, 4, 20))}


class Backdrop:
    """What the sky should look like, worked out from our own backdrop picture.

    Flat, the 460 x 480 picture lies centred on the screen, tinted (100, 100, 180) in
    the menus. With glasses, the screen is first filled with (15, 25, 25), then the
    picture is added twice, tinted in the two eye colours: the left-eye copy 14 pixels
    to the right, the right-eye copy 14 pixels to the left, so the sky lies behind the
    screen. A wrong glasses type, a wrong shift or a missing blend all miss this.
    """

    _picture = None

    def __init__(self, glasses, menu):
        if Backdrop._picture is None:
            Backdrop._picture = load_picture(asset("aerovane_bkgr.png"))
        self.glasses = glasses
        self.menu = menu

    def at(self, x, y):
        picture = Backdrop._picture
        if self.glasses == 0:
            tint = (100, 100, 180) if self.menu else (255, 255, 255)
            p = picture.at(x - 90, y)
            return tuple(p[i] * tint[i] / 255 for i in range(3))
        left_eye, right_eye = EYE_COLOURS[self.glasses]
        out = [15.0, 25.0, 25.0]
        for eye, left in ((left_eye, 104), (right_eye, 76)):
            if 0 <= x - left < picture.w:
                p = picture.at(x - left, y)
                for i in range(3):
                    out[i] += p[i] * eye[i] / 255
        return tuple(min(255.0, v) for v in out)

    def share(self, frame, x0, y0, x1, y1, rows=None, tolerance=8):
        """The share of the rectangle's pixels that show this sky (rows: an optional
        test of y, to look only at some rows)."""
        good = total = 0
        for y in range(y0, y1):
            if rows and not rows(y):
                continue
            for x in range(x0, x1):
                c = frame.at(x, y)
                p = self.at(x, y)
                total += 1
                if (abs(c[0] - p[0]) <= tolerance and abs(c[1] - p[1]) <= tolerance
                        and abs(c[2] - p[2]) <= tolerance):
                    good += 1
        return good / total if total else 0.0


def glasses_shown(frame, menu, x0=112, y0=196, x1=522, y1=222, rows=None, least=0.9):
    """The glasses type whose sky the rectangle shows, or None."""
    for glasses in range(5):
        if Backdrop(glasses, menu).share(frame, x0, y0, x1, y1, rows) >= least:
            return glasses
    return None


class Sprite:
    """One frame of the game's sprite sheet, to be found on screen.

    The sheet is our own picture in assets/; frame i sits at (1 + 49 (i mod 13),
    1 + 34 (i div 13)), 48 x 33, black transparent, drawn with its centre as handle.
    """

    _sheet = None

    def __init__(self, frame):
        if Sprite._sheet is None:
            Sprite._sheet = load_picture(asset("aerovane_sf1.png"))
        sheet = Sprite._sheet
        x0, y0 = 1 + 49 * (frame % 13), 1 + 34 * (frame // 13)
        self.pixels = [(x, y, c) for x, y, c in sheet.region(x0, y0, x0 + 48, y0 + 33)
                       if c != (0, 0, 0)]
        self.pixels = [(x - x0, y - y0, c) for x, y, c in self.pixels]
        # Searched for by a rare colour on an even and on an odd row of the sprite
        # (under the scan lines only one of the two shows), then compared whole.
        self.anchors = []
        for parity in (0, 1):
            counts = {}
            for _, y, c in self.pixels:
                if y % 2 == parity:
                    counts[c] = counts.get(c, 0) + 1
            rare = min(counts, key=lambda c: counts[c])
            self.anchors.append(next(p for p in self.pixels if p[1] % 2 == parity and p[2] == rare))

    def find(self, frame, x0=110, y0=0, x1=524, y1=480, tolerance=16, share=0.9, rows=None):
        """Centres (x, y) of every place in the rectangle that shows this sprite; with
        `rows`, a test of the screen's y, only those rows are compared."""
        hits = []
        pixels = frame.pixels
        for ax, ay, colour in self.anchors:
            needle = bytes(colour)
            for y in range(y0, y1):
                if rows and not rows(y):
                    continue
                start = (y * frame.w + x0) * 3
                end = (y * frame.w + x1) * 3
                i = pixels.find(needle, start, end)
                while i >= 0:
                    if (i - start) % 3 == 0:
                        left, top = (i // 3) % frame.w - ax, y - ay
                        centre = (left + 24, top + 16)
                        if (not any(abs(centre[0] - hx) < 4 and abs(centre[1] - hy) < 4
                                    for hx, hy in hits)
                                and self._matches(frame, left, top, tolerance, share, rows)):
                            hits.append(centre)
                    i = pixels.find(needle, i + 1, end)
        return hits

    def _matches(self, frame, left, top, tolerance, share, rows):
        if left < 0 or top < 0 or left + 48 > frame.w or top + 33 > frame.h:
            return False
        compared = [p for p in self.pixels if not rows or rows(top + p[1])]
        misses_left = len(compared) - int(len(compared) * share)
        for x, y, c in compared:
            p = frame.at(left + x, top + y)
            if (abs(p[0] - c[0]) > tolerance or abs(p[1] - c[1]) > tolerance
                    or abs(p[2] - c[2]) > tolerance):
                misses_left -= 1
                if misses_left < 0:
                    return False
        return True


def silent(samples):
    return not any(samples)


def read_int_file(path):
    with open(path, "rb") as f:
        data = f.read()
    check(len(data) == 4, f"{os.path.basename(path)} holds {len(data)} bytes, not 4")
    return struct.unpack("<i", data)[0]


def write_int_file(path, value):
    with open(path, "wb") as f:
        f.write(struct.pack("<i", value))


# -- what the screen shows ---------------------------------------------------------

ITEM_COLOURS = ((200, 120, 50), (240, 180, 80))  # a menu item, the highlighted item


def near(colour, target, tolerance=12):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, target))


def row_centre(row):
    """Centre y of menu row `row`: rows are 31 pixels high from y 221."""
    return 221 + 31 * row + 15


def highlighted(frame, row):
    """Whether menu row `row` shows its item in the highlight colour."""
    count = sum(1 for _, _, c in frame.region(110, row_centre(row) - 14, 524, row_centre(row) + 12)
                if near(c, ITEM_COLOURS[1], 8))
    return count >= 40


def item_extent(frame, row):
    """(pixels, width) of the menu item text in `row`, by its two colours."""
    xs = [x for x, _, c in frame.region(110, row_centre(row) - 14, 524, row_centre(row) + 12)
          if near(c, ITEM_COLOURS[0]) or near(c, ITEM_COLOURS[1])]
    return (len(xs), max(xs) - min(xs) + 1) if xs else (0, 0)


def menu_kind(frame):
    """'title', 'pause' or None, told apart by the width of the last item:
    "Exit Game" in the title menu, "Quit This Game" in the pause menu."""
    pixels, width = item_extent(frame, 5)
    if pixels < 100:
        return None
    if 80 <= width <= 125:
        return "title"
    if 130 <= width <= 190:
        return "pause"
    return None


HUD_YELLOW = (250, 250, 100)


def hud_digits(frame, x0, y0):
    """Where the score display's yellow lies in a 60 x 24 box, relative to the box,
    so two numbers can be compared wherever they stand and whatever sky is behind."""
    return frozenset((x - x0, y - y0) for x, y, c in frame.region(x0, y0, x0 + 60, y0 + 24)
                     if near(c, HUD_YELLOW, 6))


def same_text(a, b):
    # A pixel or two at the glyphs' soft edges may tip either way over another sky.
    return len(a ^ b) <= max(3, len(a) // 20)


def best_digits(frame):
    return hud_digits(frame, 306, 16)  # the best score is written from (308, 18)


def wait_menu(game, kind, timeout=10):
    """Waits until the game shows the "title" or the "pause" menu; returns that screen."""
    return wait_until(f"the {kind} menu",
                      lambda: (lambda f: f if menu_kind(f) == kind else None)(game.shot()), timeout)


def find_sprite(game, sprite, what, timeout=3.0, where=None):
    """The one place on screen that shows `sprite` (of those `where` accepts), polled: the
    player's plane blinks while its shield is up."""
    def probe():
        hits = [h for h in sprite.find(game.shot()) if not where or where(h)]
        return hits[0] if len(hits) == 1 else None
    return wait_until(what, probe, timeout, interval=0.02)


def tap_until(game, key, sprite, what, where, deadline=12.0):
    """Taps `key` until `sprite` is found where `where` says; returns that place.

    A tap is one key-down, two frames of the game, one key-up, and the sprite is looked
    for after each, so the plane moves a few pixels at most per look however slowly
    screenshots come on a loaded machine; a key held while polling could carry it all the
    way down into the mountains. The plane blinks while shielded: a look may miss it."""
    end = time.monotonic() + deadline * PATIENCE
    while True:
        game.key_down(key)
        try:
            game.wait_frames(2)
        finally:
            game.key_up(key)
        hits = [h for h in sprite.find(game.shot()) if where(h)]
        if len(hits) == 1:
            return hits[0]
        check(time.monotonic() < end, f"timed out waiting for {what}")


def sides_black(frame):
    """The side bars cover x 0 to 109 and 524 to 639 of every frame."""
    left = frame.crop_bytes(0, 0, 110, 480)
    right = frame.crop_bytes(524, 0, 640, 480)
    return max(left) == 0 and max(right) == 0


def run_journey(body, screen=(1280, 1024), xvfb_args=()):
    """Runs body(xserver) with a private X server of the given size (and further Xvfb
    arguments); prints the outcome, exits 0 or 1. Every game the journey started is ended
    and its scratch folder removed."""
    name = "-".join([os.path.splitext(os.path.basename(sys.argv[0]))[0]] + sys.argv[1:])
    started = time.monotonic()
    xserver = XServer(*screen, extra=xvfb_args)
    try:
        body(xserver)
    except JourneyFailed as failure:
        log(f"FAIL {name}: {failure}")
        # What the screen showed when it went wrong, beside the test's output.
        for i, game in enumerate(g for g in _games if g.running()):
            try:
                game.shot().save_png(f"{name}-failed-{i}.png")
                log(f"screen saved as {name}-failed-{i}.png")
            except Exception as e:  # the report above matters more than the picture
                log(f"no screen saved: {e}")
        sys.exit(1)
    finally:
        for game in _games:
            game.close()
        xserver.stop()
    log(f"ok {name} ({time.monotonic() - started:.1f} s)")
