"""What the editor asks and reports on its console while the window runs."""

import os

from editor import YELLOW, EditorTestCase, main, wait_for

LAYOUT = "( 0 )( 1 2 )\n0 3.0000 3.0000 0.0000\n1 -3.0000 -3.0000 0.0000\n2 -3.0000 3.0000 0.0000\n\n"


class Console(EditorTestCase):
    def test_prompts_read_one_name_each_and_keep_it(self):
        self.write("in.lev", LAYOUT)
        editor = self.start()
        editor.key("F12")
        wait_for(lambda: editor.printed() == "Input filename: ", "the input prompt")
        editor.answer("in.lev")
        editor.wait_screen(lambda s: s.near(YELLOW, 3, 3) and not s.near(YELLOW, 1, 1), "the file's levels")
        editor.key("F1")
        wait_for(lambda: editor.printed() == "Input filename: Output filename: ", "the output prompt")
        editor.answer("  out.lev  ignored")
        editor.wait_file("out.lev", LAYOUT)
        # The names stick: no further prompts.
        os.unlink(os.path.join(self.workdir, "out.lev"))
        editor.key("F12", "F1")
        editor.wait_file("out.lev", LAYOUT)
        self.assertEqual(editor.printed(), "Input filename: Output filename: ")

    def test_unreadable_input_starts_a_fresh_level(self):
        os.mkdir(os.path.join(self.workdir, "folder"))
        editor = self.start("-i", "folder", "-o", "out.lev")
        self.assertEqual(editor.printed(), "Can't open folder\n")
        editor.wait_screen(lambda s: all(s.near(YELLOW, x, y) for x in (-1, 1) for y in (-1, 1)), "the default square")
        editor.key("F1")
        editor.wait_file("out.lev", "( 0 1 2 3 )\n0 -1.0000 1.0000 0.0000\n1 1.0000 1.0000 0.0000\n"
                                    "2 1.0000 -1.0000 0.0000\n3 -1.0000 -1.0000 0.0000\n\n")


if __name__ == "__main__":
    main()
