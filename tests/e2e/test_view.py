"""The real editor under a private X server, driven with xdotool and read back
through screenshots, its console and its file. Every key and mouse button is
followed by the picture it must leave; F1 and F12 ask for their file names on
the console once; Escape ends the run. Options that a toolkit would take
(-display, -geometry) must not reach it. Every wait polls with a deadline; the
editor and the X server are always killed."""

import os
import pathlib
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

WIDTH, HEIGHT, WAIT = 640, 480, 20.0
YELLOW, RED, MAGENTA = (255, 255, 0), (255, 0, 0), (230, 0, 230)
CURRENT_LEVEL, ONE_BELOW = (230, 0, 26), (51, 153, 230)
OVERLAY = (0, 5, 200, 100)  # "(F1) to save" and the level legend
PROGRAM = os.environ.get("OMBREL_EDITOR", "")
SWAP_LOG = os.environ.get("OMBREL_SWAP_LOG_LIBRARY", "")
SQUARE = [(-1, 1), (1, 1), (1, -1), (-1, -1)]


def to_pixel(x, y):
    """Level units to window pixels."""
    return round((x + 5.0) / 10.0 * WIDTH), round((5.0 - y) / 10.0 * HEIGHT)


def wait_for(predicate, what):
    deadline = time.monotonic() + WAIT
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (WAIT, what))
        time.sleep(0.05)


def level_file(levels):
    """The editor's text for levels given as lists of curves of (x, y)."""
    text = ""
    for z, curves in enumerate(levels):
        first, points = 0, [p for curve in curves for p in curve]
        for curve in curves:
            text += "( " + "".join("%d " % n for n in range(first, first + len(curve))) + ")"
            first += len(curve)
        text += "\n" + "".join("%d %.4f %.4f %.4f\n" % (n, x, y, z) for n, (x, y) in enumerate(points)) + "\n"
    return text


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


class View(unittest.TestCase):
    def setUp(self):
        if not os.access(PROGRAM, os.X_OK):
            raise unittest.SkipTest("OMBREL_EDITOR does not name the built editor")
        self.workdir = tempfile.mkdtemp(prefix="ombrel-e2e-")
        self.addCleanup(shutil.rmtree, self.workdir, ignore_errors=True)
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0", "800x600x24",
                                 "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (xvfb.kill(), xvfb.wait()))
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.env = dict(os.environ, DISPLAY=":" + numbers.readline().strip(), LIBGL_ALWAYS_SOFTWARE="1")

    def start(self, *args):
        self.out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        self.addCleanup(self.out.close)
        self.addCleanup(err.close)
        self.editor = subprocess.Popen([PROGRAM] + list(args), cwd=self.workdir, env=self.env, stdin=subprocess.PIPE,
                                       stdout=self.out, stderr=err, start_new_session=True)
        self.addCleanup(lambda: (self.editor.poll() is None and os.killpg(self.editor.pid, signal.SIGKILL),
                                 self.editor.wait(), self.editor.stdin.close()))
        # Sanitizer reports land on stderr; any of them fails the test.
        self.addCleanup(lambda: self.assertNotIn(b"Sanitizer", err.seek(0) == 0 and err.read()))
        self.window = self.xdotool("search", "--sync", "--onlyvisible", "--name", "^Ombrel Editor$").split()[0]
        self.size = self.xdotool("getwindowgeometry", self.window).split("Geometry: ")[1].strip()
        self.wait_screen(lambda s: s.count(MAGENTA, OVERLAY), "the first frame")
        self.mouse("mousemove", 0, 4, 4)  # keys go to the window under the pointer

    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, timeout=WAIT,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertEqual(result.returncode, 0, "xdotool %s: %s" % (args, result.stderr.decode()))
        return result.stdout.decode()

    def printed(self):
        self.out.seek(0)
        return self.out.read().decode()

    def answer(self, prompt, name):
        wait_for(lambda: self.printed().endswith(prompt), prompt)
        self.editor.stdin.write(name.encode() + b"\n")
        self.editor.stdin.flush()

    # Real input through XTEST, which reaches the window under the pointer;
    # events sent to a window by name would be synthetic and never hold a button.
    def key(self, *names):
        self.xdotool("key", "--delay", "0", *names)

    def mouse(self, action, button, x, y):
        """Moves to level point (x, y), then clicks, presses or releases the button."""
        self.xdotool("mousemove", "--window", self.window, *to_pixel(x, y))
        if action != "mousemove":
            self.xdotool(action, button)

    def wait_screen(self, predicate, what):
        shot = lambda: Shot(subprocess.run(["import", "-window", self.window, "-depth", "8", "rgb:-"], env=self.env,
                                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=WAIT).stdout)
        wait_for(lambda: predicate(shot()), what)

    def wait_file(self, name, text):
        path = pathlib.Path(self.workdir, name)
        wait_for(lambda: path.exists() and path.read_text() == text, "%s to hold\n%s" % (name, text))

    def start_counting_frames(self):
        """Starts the editor with the swap log preloaded: one line per frame."""
        if not os.access(SWAP_LOG, os.R_OK):
            self.skipTest("OMBREL_SWAP_LOG_LIBRARY does not name the swap log")
        self.log = os.path.join(self.workdir, "swaps.log")
        asan = self.env.get("ASAN_OPTIONS", "")
        self.env.update(LD_PRELOAD=SWAP_LOG, OMBREL_SWAP_LOG=self.log,
                        ASAN_OPTIONS=asan + (":" if asan else "") + "verify_asan_link_order=0")
        self.start()

    def frames(self, since, until=float("inf")):
        with open(self.log) as log:
            times = [int(t) / 1e9 for kind, t in (line.split() for line in log) if kind == "s"]
        return [t for t in times if since <= t < until]

    def test_rests_while_nothing_happens_and_redraws_when_shown_again(self):
        self.start_counting_frames()
        time.sleep(1.0)
        quiet = time.monotonic()
        self.mouse("mousemove", 0, 2, 2)  # motion without a button changes nothing
        time.sleep(1.0)
        # A loop that redraws without a cause draws hundreds here.
        self.assertLessEqual(len(self.frames(quiet)), 2)
        shown = time.monotonic()
        self.xdotool("windowunmap", "--sync", self.window, "windowmap", "--sync", self.window)
        wait_for(lambda: self.frames(shown), "a frame after the window is shown again")
        self.wait_screen(lambda s: s.count(MAGENTA, OVERLAY) > 20, "the overlay again")

    def test_a_drag_draws_at_the_display_pace(self):
        self.start_counting_frames()
        self.mouse("mousedown", 1, 1, -1)
        px, py = to_pixel(1, -1)
        moves = []
        for i in range(100):
            moves += ["mousemove", "--window", self.window, px - i, py - i // 2, "sleep", "0.01"]
        start = time.monotonic()
        self.xdotool(*moves)
        span = time.monotonic() - start
        end = (px - 99, py - 49)
        self.wait_screen(lambda s: s.count(YELLOW, (end[0] - 3, end[1] - 3, end[0] + 3, end[1] + 3)),
                         "the point at the pointer")
        self.xdotool("mouseup", 1)
        # Paced at 60 Hz; a generous bound, since a slow machine only draws fewer.
        self.assertLessEqual(len(self.frames(start, start + span)), 90 * span + 2)

    def test_a_release_just_after_a_motion_leaves_the_point_where_the_button_came_up(self):
        self.start()
        self.mouse("mousedown", 1, 1, -1)
        self.xdotool("mousemove", "--window", self.window, *to_pixel(1, 2), "sleep", "0.3")
        # The last motion and the release in one go: no drag step between.
        end = to_pixel(-2, 2)
        self.xdotool("mousemove", "--window", self.window, *end, "mouseup", "1")
        self.wait_screen(lambda s: s.count(YELLOW, (end[0] - 3, end[1] - 3, end[0] + 3, end[1] + 3)),
                         "the point where the button came up")

    def test_every_input_shows(self):
        self.start("-display", ":nonexistent", "-geometry", "10x10")
        self.assertEqual(self.size, "640x480")
        level, key, mouse = CURRENT_LEVEL, self.key, self.mouse
        moved = [[SQUARE[:2] + [(-3, -3), SQUARE[3]], SQUARE, SQUARE]]
        steps = [  # (what, input, picture after it)
            ("right button adds", lambda: mouse("click", 3, 3, 3), lambda s: s.near(YELLOW, 3, 3)),
            ("c: new curve", lambda: key("c"), lambda s: s.near(level, 3, 3) and not s.near(YELLOW, 3, 3)),
            ("Left: curve 0", lambda: key("Left"), lambda s: s.near(YELLOW, 3, 3)),
            ("C: new curve", lambda: key("C"), lambda s: s.near(level, 3, 3) and not s.near(YELLOW, 3, 3)),
            ("O: closed", lambda: key("O"), lambda s: s.near(RED, -1.25, 0) and s.near(RED, 0, 1.25)),
            ("o: open", lambda: key("o"), lambda s: not s.near(RED, -1.25, 0) and s.near(RED, 1.25, 0)),
            ("Right: curve 0", lambda: key("Right"), lambda s: s.near(YELLOW, 3, 3)),
            ("Left: curve 2", lambda: key("Left"), lambda s: s.near(level, 3, 3) and not s.near(YELLOW, 3, 3)),
            ("middle button deletes", lambda: mouse("click", 2, 3, 3), lambda s: not s.near(level, 3, 3)),
            ("left button drags", lambda: (mouse("mousedown", 1, 1, -1), mouse("mousemove", 1, -3, -3)),
             lambda s: s.near(level, -3, -3)),
            ("left button released", lambda: mouse("mouseup", 1, -3, -3), lambda s: s.near(level, -3, -3)),
            ("Up: legend of two levels", lambda: key("Up"), lambda s: s.count(ONE_BELOW, OVERLAY)),
            ("Down: one level", lambda: key("Down"), lambda s: not s.count(ONE_BELOW, OVERLAY)),
            ("w: overlay off", lambda: key("w"), lambda s: not s.count(MAGENTA, OVERLAY)),
            ("w: overlay on", lambda: key("w"), lambda s: s.count(MAGENTA, OVERLAY) > 20),
            ("F1 asks and saves", lambda: (key("F1"), self.answer("Output filename: ", "  layout.lev"),
                                           self.wait_file("layout.lev", level_file(moved * 2))),
             lambda s: s.near(level, -3, -3) and s.near(YELLOW, 1, -1)),
            ("point to lose", lambda: mouse("click", 3, 4, -4), lambda s: s.near(YELLOW, 4, -4)),
            ("F12 asks and reloads", lambda: (key("F12"), self.answer("Input filename: ", "layout.lev")),
             lambda s: not s.near(YELLOW, 4, -4) and s.near(YELLOW, -3, -3)),
        ]
        for what, event, picture in steps:
            event()
            self.wait_screen(picture, what)
        # The names stick: no prompt holds up the Escape.
        key("F12", "F1", "Escape")
        self.assertEqual(self.editor.wait(timeout=WAIT), 0)
        self.assertEqual(self.printed(), "Curve number: 0\t\tPoint number: 2\nOutput filename: Input filename: ")

    def test_a_layout_that_starts_with_a_byte_order_mark_is_read_whole(self):
        layout = level_file([[[(1, 1), (2, 1), (2, 2), (1, 2)]], [[(3, 3), (4, 3), (4, 4), (3, 4)]]])
        pathlib.Path(self.workdir, "bom.lev").write_bytes(b"\xef\xbb\xbf" + layout.encode())
        self.start("-i", "bom.lev", "-o", "out.lev")
        self.wait_screen(lambda s: s.near(YELLOW, 2, 2), "level 0's points")
        self.key("F1")
        self.wait_file("out.lev", layout)

    def test_f1_to_its_own_redirected_output_writes_where_the_shell_put_it(self):
        self.start("-o", "/dev/stdout")
        first = level_file([[SQUARE]])
        self.key("F1")
        wait_for(lambda: self.printed() == first, "the first save on standard output")
        self.key("c", "F1")
        wait_for(lambda: self.printed() == first + level_file([[SQUARE, SQUARE]]), "the second save after the first")


if __name__ == "__main__":
    # A guard a little inside CTest's TIMEOUT, so that the cleanups still run.
    signal.signal(signal.SIGALRM, lambda *_: (_ for _ in ()).throw(AssertionError("test file timed out")))
    signal.alarm(max(10, int(os.environ.get("OMBREL_E2E_LIMIT", "150")) - 10))
    unittest.main(verbosity=2)
