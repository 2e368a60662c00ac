"""Each example level file loads cleanly: it shows on screen and saves back
byte for byte."""

import glob
import os

from editor import MARKER_YELLOW, SOURCE_DIR, EditorTestCase, main, to_pixel

EXAMPLES = sorted(glob.glob(os.path.join(SOURCE_DIR, "examples", "*.lev")))


class Examples(EditorTestCase):
    def test_examples_exist(self):
        self.assertGreaterEqual(len(EXAMPLES), 2)

    def test_each_example_loads_and_saves_unchanged(self):
        for path in EXAMPLES:
            with self.subTest(example=os.path.basename(path)):
                with open(path) as f:
                    source = f.read()
                # Empty curves would not survive a reload; examples have none.
                self.assertNotIn("( )", source)
                editor = self.start("-i", path, "-o", "out.lev")
                first_point = source.split("\n")[1].split()
                corner = to_pixel(float(first_point[1]), float(first_point[2]))
                editor.wait_screen(lambda s: s.near(MARKER_YELLOW, *corner, radius=2), "the first marker")
                self.assertEqual(editor.save("out.lev"), source)
                self.assertEqual(editor.stdout(), "")
                editor.close()
                os.unlink(editor.path("out.lev"))


if __name__ == "__main__":
    main()
