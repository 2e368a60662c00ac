"""What the editor prints and reads on its console, and how it ends."""

import os

from editor import EditorTestCase, SQUARE, level_file, main, to_pixel, wait_for


class Console(EditorTestCase):
    def test_pick_report_names_curve_and_point(self):
        editor = self.start("-o", "out.lev")
        editor.press(1, *to_pixel(-1, -1))
        editor.release(1)
        editor.press(1, *to_pixel(-3, 3))  # nothing there: no report
        editor.release(1)
        # Curve 1's square covers curve 0's: the lower level-wide index wins
        # although curve 1 is current and drawn on top.
        editor.key("c")
        editor.press(1, *to_pixel(1, 1))
        editor.release(1)
        editor.save("out.lev")
        self.assertEqual(editor.stdout(), "Curve number: 0\t\tPoint number: 3\n"
                                          "Curve number: 0\t\tPoint number: 1\n")

    def test_pick_report_in_second_curve(self):
        editor = self.start("-o", "out.lev")
        editor.key("c")
        editor.press(1, *to_pixel(4, 4))
        editor.release(1)
        editor.click(3, *to_pixel(4, 4))   # curve 1, point 4
        editor.press(1, *to_pixel(4, 4))
        editor.release(1)
        editor.save("out.lev")
        self.assertEqual(editor.stdout(), "Curve number: 1\t\tPoint number: 4\n")

    def test_prompts_read_names_from_the_console(self):
        source = level_file([[SQUARE, [(2, 2), (3, 3), (4, 4)]], [[(0, 0)]]])
        self.write("in.lev", source)
        editor = self.start()
        editor.click(3, *to_pixel(-4, -4))
        editor.key("F12")
        wait_for(lambda: editor.stdout() == "Input filename: ", what="the input prompt")
        editor.answer("in.lev")
        editor.key("F1")
        wait_for(lambda: editor.stdout() == "Input filename: Output filename: ", what="the output prompt")
        editor.answer("  out.lev")
        self.assertEqual(editor.save("out.lev"), source)
        # The names stick: no further prompts.
        editor.key("F12", "F1")
        editor.click(3, 0, 0)
        editor.key("Escape")
        self.assertEqual(editor.wait_exit(), 0)
        self.assertEqual(editor.stdout(), "Input filename: Output filename: ")

    def test_missing_input_file_is_reported_and_editor_starts_fresh(self):
        editor = self.start("-i", "missing.lev", "-o", "out.lev")
        self.assertEqual(editor.stdout(), "Can't open missing.lev\n")
        editor.click(3, *to_pixel(2, 2))
        self.assertEqual(editor.save("out.lev"), level_file([[SQUARE + [(2.0, 2.0)]]]))
        self.assertEqual(editor.stdout(), "Can't open missing.lev\n")

    def test_failed_reload_keeps_the_levels(self):
        editor = self.start("-i", "missing.lev", "-o", "out.lev")
        editor.key("Up")
        editor.key("F12")
        wait_for(lambda: editor.stdout() == "Can't open missing.lev\n" * 2, what="the second report")
        self.assertEqual(editor.save("out.lev"), level_file([[SQUARE], [SQUARE]]))

    def test_escape_exits_with_status_zero_without_saving(self):
        editor = self.start("-o", "out.lev")
        editor.click(3, *to_pixel(2, 2))
        editor.key("Escape")
        self.assertEqual(editor.wait_exit(), 0)
        self.assertEqual(editor.stdout(), "")
        self.assertFalse(os.path.exists(editor.path("out.lev")))


if __name__ == "__main__":
    main()
