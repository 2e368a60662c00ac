"""What the user keeps: level files written by F1 after pointer and key edits,
compared byte for byte."""

from editor import (EditorTestCase, MARKER_YELLOW, SQUARE, level_file, main, to_level, to_pixel)


class SavedEdits(EditorTestCase):
    def test_untouched_editor_saves_default_square(self):
        editor = self.start("-o", "out.lev")
        self.assertEqual(editor.save("out.lev"), level_file([[SQUARE]]))

    def test_right_presses_append_at_press_position(self):
        editor = self.start("-o", "out.lev")
        # A press on an existing marker still adds a point; pixels off the
        # unit grid show the exact conversion (100 px = -3.4375).
        presses = [(448, 144), (100, 437), to_pixel(1, -1), (0, 0), (639, 479)]
        for px, py in presses:
            editor.click(3, px, py)
        expected = SQUARE + [to_level(px, py) for px, py in presses]
        self.assertEqual(editor.save("out.lev"), level_file([[expected]]))

    def test_left_drag_moves_the_picked_point(self):
        editor = self.start("-o", "out.lev")
        editor.press(1, *to_pixel(1, -1))
        target = to_pixel(2.5, -3)
        editor.move(*target)
        editor.wait_screen(lambda s: s.near(MARKER_YELLOW, *target, radius=1), "the dragged marker")
        editor.release(1)
        # After the release the pointer moves freely.
        editor.move(*to_pixel(-4, 4))
        editor.click(3, *to_pixel(-4, 4))
        moved = [SQUARE[0], SQUARE[1], (2.5, -3.0), SQUARE[3], (-4.0, 4.0)]
        self.assertEqual(editor.save("out.lev"), level_file([[moved]]))

    def test_left_press_beside_every_marker_moves_nothing(self):
        editor = self.start("-o", "out.lev")
        editor.press(1, *to_pixel(0, 0))
        editor.move(*to_pixel(3, 3))
        editor.move(*to_pixel(3.5, 3))
        editor.release(1)
        self.assertEqual(editor.save("out.lev"), level_file([[SQUARE]]))

    def test_middle_press_deletes_the_marker(self):
        editor = self.start("-o", "out.lev")
        editor.click(2, *to_pixel(1, -1))
        # A middle press on nothing deletes nothing.
        editor.click(2, *to_pixel(3, 3))
        self.assertEqual(editor.save("out.lev"), level_file([[SQUARE[:2] + SQUARE[3:]]]))

    def test_new_curve_is_seeded_and_current(self):
        editor = self.start("-o", "out.lev")
        editor.key("c", "C")
        editor.click(3, *to_pixel(4, 0))
        editor.key("Left")
        editor.click(3, *to_pixel(-4, 0))
        curves = [SQUARE, SQUARE + [(-4.0, 0.0)], SQUARE + [(4.0, 0.0)]]
        self.assertEqual(editor.save("out.lev"), level_file([curves]))

    def test_up_copies_the_level_one_unit_higher(self):
        editor = self.start("-o", "out.lev")
        editor.click(3, *to_pixel(2, 2))
        editor.key("Up")
        editor.click(3, *to_pixel(-2, -2))
        # Down and Up again return to the same copy instead of making another.
        editor.key("Down", "Up")
        editor.click(3, *to_pixel(3, 3))
        editor.key("Down", "Down")
        editor.click(3, *to_pixel(-3, -3))
        level0 = SQUARE + [(2.0, 2.0), (-3.0, -3.0)]
        level1 = SQUARE + [(2.0, 2.0), (-2.0, -2.0), (3.0, 3.0)]
        self.assertEqual(editor.save("out.lev"), level_file([[level0], [level1]]))

    def test_loaded_file_saves_unchanged(self):
        source = level_file([[SQUARE, [(0.1234, -4.5), (3, 3), (-2.5, 1)]],
                             [[(0, 0), (1, 1), (2, 2), (3, 3)]],
                             [[(-4.9999, 4.9999)], [(0.5, 0.5), (-0.5, -0.5)]]])
        self.write("in.lev", source)
        editor = self.start("-i", "in.lev", "-o", "out.lev")
        self.assertEqual(editor.save("out.lev"), source)
        self.assertEqual(editor.stdout(), "")


if __name__ == "__main__":
    main()
