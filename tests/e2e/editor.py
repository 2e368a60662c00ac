"""Drives the real editor under a private X server: start it with arguments,
send pointer and key events with xdotool, read the screen back with
ImageMagick, read what it prints, and answer its prompts.

Everything waits by polling with a deadline, so a hung editor fails the test
instead of stalling the run; the editor and the X server are always killed.
"""

import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest

WIDTH, HEIGHT = 640, 480
TITLE = "Ombrel Editor"
# Hard limit on a single wait; CTest's TIMEOUT bounds the whole file.
DEFAULT_WAIT = 20.0

MARKER_YELLOW = (255, 255, 0)
LINE_RED = (255, 0, 0)
LEVEL_COLOURS = [(230, 0, 26), (51, 153, 230), (204, 0, 204), (0, 0, 255)]
TEXT_MAGENTA = (230, 0, 230)
OVERLAY_TEXT_BOX = (0, 5, 200, 60)  # "(F1) to save" and the level legend

PROGRAM = os.environ.get("OMBREL_EDITOR", "")
SOURCE_DIR = os.environ.get("OMBREL_SOURCE_DIR",
                            os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))


def to_pixel(x, y):
    """Level units to window pixels, the inverse of the editor's mapping."""
    return round((x + 5.0) / 10.0 * WIDTH), round((5.0 - y) / 10.0 * HEIGHT)


def to_level(px, py):
    """Window pixels to level units exactly as the editor stores them (float32)."""
    return f32(px / WIDTH * 10.0 - 5.0), f32(5.0 - py / HEIGHT * 10.0)


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def level_file(levels):
    """The text the editor writes for levels given as lists of curves of (x, y)."""
    out = []
    for z, curves in enumerate(levels):
        number = 0
        line = ""
        for curve in curves:
            line += "( " + "".join("%i " % (number + k) for k in range(len(curve))) + ")"
            number += len(curve)
        out.append(line + "\n")
        number = 0
        for curve in curves:
            for x, y in curve:
                out.append("%i %0.4f %0.4f %0.4f\n" % (number, f32(x), f32(y), float(z)))
                number += 1
        out.append("\n")
    return "".join(out)


SQUARE = [(-1.0, 1.0), (1.0, 1.0), (1.0, -1.0), (-1.0, -1.0)]


def wait_for(predicate, timeout=DEFAULT_WAIT, what="condition", interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class XServer:
    """A private Xvfb on a display number it picks itself."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + DEFAULT_WAIT
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.stop()
                raise RuntimeError("Xvfb did not start")
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()

    def env(self):
        env = dict(os.environ, DISPLAY=self.display, LIBGL_ALWAYS_SOFTWARE="1")
        env["ASAN_OPTIONS"] = "detect_leaks=1:abort_on_error=0"
        env["UBSAN_OPTIONS"] = "print_stacktrace=1:halt_on_error=1"
        return env

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()


class Shot:
    """One screenshot of the editor window, decoded from binary PPM."""

    def __init__(self, data):
        parts = []
        pos = 0
        while len(parts) < 4:  # magic, width, height, maxval
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            parts.append(data[pos:end])
            pos = end
        if parts[0] != b"P6" or parts[3] != b"255":
            raise ValueError("unexpected screenshot format %r" % parts)
        self.width, self.height = int(parts[1]), int(parts[2])
        self.pixels = data[pos + 1:]

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def count(self, colour, box, tolerance=12):
        """Pixels of about colour in box = (x0, y0, x1, y1), ends inclusive."""
        x0, y0, x1, y1 = box
        return sum(1 for y in range(max(0, y0), min(self.height - 1, y1) + 1)
                   for x in range(max(0, x0), min(self.width - 1, x1) + 1)
                   if close(self.pixel(x, y), colour, tolerance))

    def near(self, colour, px, py, radius=3):
        return self.count(colour, (px - radius, py - radius, px + radius, py + radius)) > 0


def close(a, b, tolerance=12):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


class Editor:
    """One run of the editor in its own working directory."""

    def __init__(self, xserver, args, workdir):
        self.x = xserver
        self.env = xserver.env()
        self.workdir = workdir
        self.stdout_path = os.path.join(self.workdir, "stdout.txt")
        self.stderr_path = os.path.join(self.workdir, "stderr.txt")
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.process = subprocess.Popen([PROGRAM] + list(args), cwd=self.workdir, env=self.env,
                                            stdin=subprocess.PIPE, stdout=out, stderr=err,
                                            start_new_session=True)
        try:
            found = self._xdotool(["search", "--sync", "--onlyvisible", "--name", "^%s$" % TITLE],
                                  capture=True, timeout=DEFAULT_WAIT)
            self.window = found.split()[0]
            geometry = self._xdotool(["getwindowgeometry", "--shell", self.window], capture=True)
            fields = dict(line.split("=", 1) for line in geometry.split())
            self.origin = int(fields["X"]), int(fields["Y"])
            # The first frame is up once the overlay text shows.
            wait_for(lambda: self.screenshot().count(TEXT_MAGENTA, OVERLAY_TEXT_BOX),
                     what="the first frame")
        except BaseException:
            self.kill()
            raise

    # ------------------------------------------------------------ plumbing

    def _xdotool(self, args, capture=False, timeout=DEFAULT_WAIT):
        result = subprocess.run(["xdotool"] + args, env=self.env, timeout=timeout,
                                stdout=subprocess.PIPE if capture else subprocess.DEVNULL,
                                stderr=subprocess.PIPE, check=False)
        if result.returncode != 0:
            raise AssertionError("xdotool %s failed: %s" % (" ".join(args), result.stderr.decode()))
        return result.stdout.decode() if capture else ""

    def path(self, name):
        return os.path.join(self.workdir, name)

    def alive(self):
        return self.process.poll() is None

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
        self.process.wait()

    def close(self):
        self.kill()
        try:
            self.process.stdin.close()
        except OSError:
            pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def stdout(self):
        with open(self.stdout_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def answer(self, line):
        self.process.stdin.write(line.encode() + b"\n")
        self.process.stdin.flush()

    def wait_exit(self, timeout=DEFAULT_WAIT):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise AssertionError("the editor did not exit within %.0f s" % timeout)

    # ------------------------------------------------------------ input

    def run(self, *commands):
        """Any chain of xdotool commands, in one call."""
        self._xdotool([str(c) for c in commands])

    def move(self, px, py):
        self.run("mousemove", "--window", self.window, px, py)

    def press(self, button, px=None, py=None):
        if px is not None:
            self.move(px, py)
        self.run("mousedown", "--window", self.window, button)

    def release(self, button):
        self.run("mouseup", "--window", self.window, button)

    def click(self, button, px, py):
        self.move(px, py)
        self.run("click", "--window", self.window, button)

    def key(self, *names):
        self.run("key", "--window", self.window, "--delay", "0", *names)

    def save(self, name, timeout=DEFAULT_WAIT):
        """F1, then the text of the file that appears (saving is all or nothing)."""
        target = self.path(name)
        self.key("F1")
        wait_for(lambda: os.path.exists(target), timeout, what="%s to be written" % name)
        with open(target) as f:
            return f.read()

    # ------------------------------------------------------------ screen

    def screenshot(self):
        data = subprocess.run(["import", "-window", self.window, "-depth", "8", "ppm:-"], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=DEFAULT_WAIT, check=True).stdout
        return Shot(data)

    def wait_screen(self, predicate, what, timeout=DEFAULT_WAIT):
        """Polls screenshots until predicate(shot) holds; returns that shot."""
        found = []

        def check():
            shot = self.screenshot()
            if predicate(shot):
                found.append(shot)
                return True
            return False
        wait_for(check, timeout, what=what)
        return found[0]


class EditorTestCase(unittest.TestCase):
    """One X server per test class, one editor per test."""

    @classmethod
    def setUpClass(cls):
        if not PROGRAM or not os.access(PROGRAM, os.X_OK):
            raise unittest.SkipTest("OMBREL_EDITOR does not name the built editor")
        cls.xserver = XServer()

    @classmethod
    def tearDownClass(cls):
        cls.xserver.stop()

    def workdir(self):
        """A fresh working directory for this test, removed afterwards."""
        if not hasattr(self, "_workdir"):
            self._workdir = tempfile.mkdtemp(prefix="ombrel-e2e-")
            self.addCleanup(shutil.rmtree, self._workdir, ignore_errors=True)
        return self._workdir

    def write(self, name, text):
        with open(os.path.join(self.workdir(), name), "w") as f:
            f.write(text)

    def start(self, *args):
        """The editor, started in this test's working directory."""
        editor = Editor(self.xserver, args, self.workdir())
        self.addCleanup(editor.close)
        # Sanitizer reports land on stderr; any of them fails the test.
        self.addCleanup(lambda: self.assertNotIn("Sanitizer", editor.stderr()))
        return editor


def main():
    # A wall-clock guard besides CTest's, so a hang kills the children too.
    # It fires a little before CTest's TIMEOUT so that the cleanups still run.
    limit = max(10, int(os.environ.get("OMBREL_E2E_LIMIT", "180")) - 10)

    def expire(*_):
        raise AssertionError("test file exceeded %d s" % limit)
    signal.signal(signal.SIGALRM, expire)
    signal.alarm(limit)
    unittest.main(verbosity=2)
