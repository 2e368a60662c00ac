"""What the user sees: the window, the default square, closing, level colours
and the overlay, read back from screenshots."""

import subprocess

from editor import (EditorTestCase, LEVEL_COLOURS, LINE_RED, MARKER_YELLOW, OVERLAY_TEXT_BOX, SQUARE,
                    TEXT_MAGENTA, main, to_pixel)


class Window(EditorTestCase):
    def test_title_and_size(self):
        editor = self.start()
        info = subprocess.run(["xwininfo", "-id", editor.window], env=editor.env, check=True,
                              stdout=subprocess.PIPE, timeout=10).stdout.decode()
        self.assertIn('"Ombrel Editor"', info)
        self.assertIn("Width: 640", info)
        self.assertIn("Height: 480", info)


class Picture(EditorTestCase):
    def test_default_square_markers_and_open_segment(self):
        editor = self.start()
        shot = editor.screenshot()
        for x, y in SQUARE:
            # Off-centre: the curve line starts at the centre of point 1.
            px, py = to_pixel(x, y)
            self.assertEqual(shot.pixel(px - 2, py - 1), MARKER_YELLOW, (x, y))
            self.assertNotEqual(shot.pixel(px - 5, py - 1), MARKER_YELLOW, (x, y))
        # Only the segment from point 1 to point 2 is drawn, bulging right.
        self.assertTrue(shot.near(LINE_RED, *to_pixel(1.25, 0)))
        for x, y in [(0, -1.25), (-1.25, 0), (0, 1.25), (0, 0)]:
            self.assertFalse(shot.near(LINE_RED, *to_pixel(x, y)), (x, y))
        # The wire cube around point 1 is twice the marker: yellow 6 px out.
        px, py = to_pixel(1, 1)
        self.assertTrue(shot.near(MARKER_YELLOW, px + 6, py, radius=1))
        self.assertFalse(shot.near(MARKER_YELLOW, px - 6, py + 12, radius=1))

    def test_close_then_open_curve(self):
        editor = self.start()
        editor.key("O")
        loop = [(0, -1.25), (-1.25, 0), (0, 1.25), (1.25, 0)]
        editor.wait_screen(lambda s: all(s.near(LINE_RED, *to_pixel(x, y)) for x, y in loop),
                           "the closed loop")
        editor.key("o")
        editor.wait_screen(lambda s: not s.near(LINE_RED, *to_pixel(-1.25, 0)) and
                           s.near(LINE_RED, *to_pixel(1.25, 0)), "the curve to open again")

    def test_other_curve_of_current_level_in_level_colour(self):
        editor = self.start()
        editor.click(3, *to_pixel(3, 3))
        editor.wait_screen(lambda s: s.near(MARKER_YELLOW, *to_pixel(3, 3), radius=1), "the added point")
        editor.key("c")
        # Curve 0 is no longer current; curve 1's square hides its old corners.
        editor.wait_screen(lambda s: s.near(LEVEL_COLOURS[0], *to_pixel(3, 3), radius=1),
                           "curve 0 drawn in the current level's colour")

    def test_level_below_after_up(self):
        editor = self.start()
        editor.key("Up")
        # The copy hides level 0 until a copied point is deleted.
        corner = to_pixel(-1, 1)
        editor.move(*corner)
        editor.click(2, *corner)
        shot = editor.wait_screen(lambda s: s.near(LEVEL_COLOURS[1], *corner, radius=1),
                                  "level 0 drawn below in its colour")
        self.assertFalse(shot.near(MARKER_YELLOW, *corner, radius=1))
        # Back down, level 0 is the current level again and yellow.
        editor.key("Down")
        editor.wait_screen(lambda s: s.pixel(*corner) == MARKER_YELLOW, "level 0 current again")

    def test_overlay_toggles_with_w_only(self):
        editor = self.start()
        self.assertGreater(editor.screenshot().count(TEXT_MAGENTA, OVERLAY_TEXT_BOX), 20)
        editor.key("W")
        editor.key("w")
        editor.wait_screen(lambda s: s.count(TEXT_MAGENTA, OVERLAY_TEXT_BOX) == 0 and
                           s.count(LINE_RED, OVERLAY_TEXT_BOX) == 0, "the overlay to go")
        editor.key("w")
        editor.wait_screen(lambda s: s.count(TEXT_MAGENTA, OVERLAY_TEXT_BOX) > 20, "the overlay to return")


if __name__ == "__main__":
    main()
