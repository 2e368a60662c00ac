"""Drives the real editor under a private X server: start it with arguments,
send pointer and key events with xdotool, read the window back with
ImageMagick, read what it prints, and answer its prompts. Every wait polls
with a deadline; the editor and the X server are always killed."""

import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

WIDTH, HEIGHT = 640, 480
YELLOW, RED, MAGENTA = (255, 255, 0), (255, 0, 0), (230, 0, 230)
LEVEL_COLOURS = [(230, 0, 26), (51, 153, 230), (204, 0, 204), (0, 0, 255)]
OVERLAY = (0, 5, 200, 100)  # "(F1) to save" and the level legend
PROGRAM = os.environ.get("OMBREL_EDITOR", "")
WAIT = 20.0


def to_pixel(x, y):
    """Level units to window pixels."""
    return round((x + 5.0) / 10.0 * WIDTH), round((5.0 - y) / 10.0 * HEIGHT)


def wait_for(predicate, what):
    deadline = time.monotonic() + WAIT
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (WAIT, what))
        time.sleep(0.05)


class Shot(bytes):
    """One screenshot of the window as raw RGB."""

    def count(self, colour, box):
        x0, y0, x1, y1 = box
        return sum(all(abs(self[3 * (y * WIDTH + x) + i] - colour[i]) <= 12 for i in range(3))
                   for y in range(max(0, y0), min(HEIGHT - 1, y1) + 1) for x in range(max(0, x0), min(WIDTH - 1, x1) + 1))

    def near(self, colour, x, y, radius=3):
        """True when the colour is within radius pixels of level point (x, y)."""
        px, py = to_pixel(x, y)
        return self.count(colour, (px - radius, py - radius, px + radius, py + radius)) > 0


class Editor:
    """One run of the editor in the test's working directory."""

    def __init__(self, display, args, workdir):
        self.env = dict(os.environ, DISPLAY=display, LIBGL_ALWAYS_SOFTWARE="1")
        self.workdir = workdir
        self.out, self.err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        self.process = subprocess.Popen([PROGRAM] + list(args), cwd=workdir, env=self.env, stdin=subprocess.PIPE,
                                        stdout=self.out, stderr=self.err, start_new_session=True)
        try:
            self.window = self.xdotool("search", "--sync", "--onlyvisible", "--name", "^Ombrel Editor$").split()[0]
            self.size = self.xdotool("getwindowgeometry", self.window).split("Geometry: ")[1].strip()
            self.wait_screen(lambda s: s.count(MAGENTA, OVERLAY), "the first frame")
        except BaseException:
            self.kill()
            raise

    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, timeout=WAIT,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        assert result.returncode == 0, "xdotool %s failed: %s" % (args, result.stderr.decode())
        return result.stdout.decode()

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
        self.process.wait()

    def printed(self, stream=None):
        stream = stream or self.out
        stream.seek(0)
        return stream.read().decode()

    def answer(self, line):
        self.process.stdin.write(line.encode() + b"\n")
        self.process.stdin.flush()

    def key(self, *names):
        self.xdotool("key", "--window", self.window, "--delay", "0", *names)

    def mouse(self, action, button, x, y):
        """Moves to level point (x, y), then clicks, presses or releases the button."""
        self.xdotool("mousemove", "--window", self.window, *to_pixel(x, y))
        if action != "mousemove":
            self.xdotool(action, "--window", self.window, button)

    def wait_screen(self, predicate, what):
        shot = lambda: Shot(subprocess.run(["import", "-window", self.window, "-depth", "8", "rgb:-"], env=self.env,
                                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=WAIT).stdout)
        wait_for(lambda: predicate(shot()), what)

    def read(self, name):
        path = os.path.join(self.workdir, name)
        return open(path).read() if os.path.exists(path) else None

    def wait_file(self, name, text):
        wait_for(lambda: self.read(name) == text, "%s to hold\n%s" % (name, text))


class EditorTestCase(unittest.TestCase):
    """One X server per test class, one working directory per test."""

    @classmethod
    def setUpClass(cls):
        if not os.access(PROGRAM, os.X_OK):
            raise unittest.SkipTest("OMBREL_EDITOR does not name the built editor")
        read_end, write_end = os.pipe()
        cls.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0", "800x600x24",
                                     "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            cls.display = ":" + numbers.readline().strip()

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.kill()
        cls.xvfb.wait()

    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="ombrel-e2e-")
        self.addCleanup(shutil.rmtree, self.workdir, ignore_errors=True)

    def write(self, name, text):
        with open(os.path.join(self.workdir, name), "w") as f:
            f.write(text)

    def start(self, *args):
        editor = Editor(self.display, args, self.workdir)
        self.addCleanup(editor.kill)
        # Sanitizer reports land on stderr; any of them fails the test.
        self.addCleanup(lambda: self.assertNotIn("Sanitizer", editor.printed(editor.err)))
        return editor


def main():
    # A guard a little inside CTest's TIMEOUT, so that the cleanups still run.
    signal.signal(signal.SIGALRM, lambda *_: (_ for _ in ()).throw(AssertionError("test file timed out")))
    signal.alarm(max(10, int(os.environ.get("OMBREL_E2E_LIMIT", "150")) - 10))
    unittest.main(verbosity=2)
