"""How often the real editor draws, counted by a preloaded library that logs
every buffer swap: not at all while nothing happens, once more when its
window is shown again, and at the display's pace while a point is dragged."""

import os
import time
import unittest

from editor import (EditorTestCase, MARKER_YELLOW, OVERLAY_TEXT_BOX, PROGRAM, TEXT_MAGENTA, XServer, main, to_pixel,
                    wait_for)

LIBRARY = os.environ.get("OMBREL_SWAP_LOG_LIBRARY", "")


class LoggingXServer(XServer):
    """Every program started on it preloads the swap log (only the editor swaps)."""

    log = ""

    def env(self):
        env = super().env()
        env.update(LD_PRELOAD=LIBRARY, OMBREL_SWAP_LOG=self.log,
                   ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=0:abort_on_error=0")
        return env


class Frames(EditorTestCase):
    @classmethod
    def setUpClass(cls):
        if not PROGRAM or not os.access(LIBRARY, os.R_OK):
            raise unittest.SkipTest("needs OMBREL_EDITOR and OMBREL_SWAP_LOG_LIBRARY")
        cls.xserver = LoggingXServer()

    def start(self, *args):
        self.xserver.log = os.path.join(self.workdir(), "swaps.log")
        return super().start(*args)

    def frames(self, since, until=float("inf")):
        with open(self.xserver.log) as f:
            times = [int(t) / 1e9 for kind, t in (line.split() for line in f) if kind == "s"]
        return [t for t in times if since <= t < until]

    def test_rests_while_nothing_happens_and_redraws_when_shown_again(self):
        editor = self.start()
        time.sleep(1.0)
        quiet = time.monotonic()
        editor.move(20, 20)  # pointer motion without a button changes nothing
        time.sleep(1.0)
        # A loop that redraws without a cause draws hundreds here.
        self.assertLessEqual(len(self.frames(quiet)), 2)
        shown = time.monotonic()
        editor.run("windowunmap", "--sync", editor.window, "windowmap", "--sync", editor.window)
        wait_for(lambda: self.frames(shown), what="a frame after the window is shown again")
        editor.wait_screen(lambda shot: shot.count(TEXT_MAGENTA, OVERLAY_TEXT_BOX) > 20, "the overlay again")

    def test_a_drag_draws_at_the_display_pace_until_release(self):
        editor = self.start()
        px, py = to_pixel(1.0, 1.0)
        editor.press(1, px, py)
        moves = []
        for i in range(100):
            moves += ["mousemove", "--window", editor.window, px - i, py + i // 2, "sleep", "0.01"]
        start = time.monotonic()
        editor.run(*moves)
        span = time.monotonic() - start
        editor.wait_screen(lambda shot: shot.near(MARKER_YELLOW, px - 99, py + 49), "the point at the pointer")
        editor.release(1)
        # Paced at 60 Hz; a generous bound, since a slow machine only draws fewer.
        self.assertLessEqual(len(self.frames(start, start + span)), 90 * span + 2)

if __name__ == "__main__":
    main()
