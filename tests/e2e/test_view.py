"""Every key and mouse button on the real window, each followed by the picture
it must leave; F1 and F12 ask for their file names on the console once, and
Escape ends the run. Options that a toolkit would take (-display, -geometry)
must not reach it."""

from editor import LEVEL_COLOURS, MAGENTA, OVERLAY, RED, YELLOW, EditorTestCase, main, wait_for

SQUARE = [(-1, 1), (1, 1), (1, -1), (-1, -1)]


def level_file(levels):
    """The editor's text for levels given as lists of curves of (x, y)."""
    text, first = "", 0
    for z, curves in enumerate(levels):
        points = [p for curve in curves for p in curve]
        for curve in curves:
            text += "( " + "".join("%d " % n for n in range(first, first + len(curve))) + ")"
            first += len(curve)
        text += "\n" + "".join("%d %.4f %.4f %.4f\n" % (n, x, y, z) for n, (x, y) in enumerate(points)) + "\n"
        first = 0
    return text


class View(EditorTestCase):
    def test_every_input_shows(self):
        editor = self.start("-display", ":nonexistent", "-geometry", "10x10")

        def answer(prompt, name):
            wait_for(lambda: editor.printed().endswith(prompt), prompt)
            editor.answer(name)
        self.assertEqual(editor.size, "640x480")
        level = LEVEL_COLOURS[0]
        moved = [[SQUARE[:2] + [(-3, -3), SQUARE[3]], SQUARE, SQUARE]]
        steps = [  # (what, input, picture after it)
            ("default square", lambda: None, lambda s: all(s.near(YELLOW, x, y) for x, y in SQUARE) and
             s.near(RED, 1.25, 0) and not s.near(RED, -1.25, 0)),
            ("right button adds", lambda: editor.mouse("click", 3, 3, 3), lambda s: s.near(YELLOW, 3, 3)),
            ("c: new curve", lambda: editor.key("c"), lambda s: s.near(level, 3, 3) and not s.near(YELLOW, 3, 3)),
            ("Left: curve 0", lambda: editor.key("Left"), lambda s: s.near(YELLOW, 3, 3)),
            ("C: new curve", lambda: editor.key("C"), lambda s: s.near(level, 3, 3) and not s.near(YELLOW, 3, 3)),
            ("O: closed", lambda: editor.key("O"), lambda s: s.near(RED, -1.25, 0) and s.near(RED, 0, 1.25)),
            ("o: open", lambda: editor.key("o"), lambda s: not s.near(RED, -1.25, 0) and s.near(RED, 1.25, 0)),
            ("Right: curve 0", lambda: editor.key("Right"), lambda s: s.near(YELLOW, 3, 3)),
            ("Left: curve 2", lambda: editor.key("Left"), lambda s: s.near(level, 3, 3) and not s.near(YELLOW, 3, 3)),
            ("middle button deletes", lambda: editor.mouse("click", 2, 3, 3), lambda s: not s.near(level, 3, 3)),
            ("left button drags", lambda: (editor.mouse("mousedown", 1, 1, -1), editor.mouse("mousemove", 1, -3, -3)),
             lambda s: s.near(level, -3, -3)),
            ("left button released", lambda: editor.mouse("mouseup", 1, -3, -3), lambda s: s.near(level, -3, -3)),
            ("Up: legend of two levels", lambda: editor.key("Up"), lambda s: s.count(LEVEL_COLOURS[1], OVERLAY)),
            ("Down: one level", lambda: editor.key("Down"), lambda s: not s.count(LEVEL_COLOURS[1], OVERLAY)),
            ("w: overlay off", lambda: editor.key("w"), lambda s: not s.count(MAGENTA, OVERLAY)),
            ("w: overlay on", lambda: editor.key("w"), lambda s: s.count(MAGENTA, OVERLAY) > 20),
            ("F1 asks and saves", lambda: (editor.key("F1"), answer("Output filename: ", "  layout.lev"),
                                           editor.wait_file("layout.lev", level_file(moved * 2))),
             lambda s: s.near(level, -3, -3) and s.near(YELLOW, 1, -1)),
            ("point to lose", lambda: editor.mouse("click", 3, 4, -4), lambda s: s.near(YELLOW, 4, -4)),
            ("F12 asks and reloads", lambda: (editor.key("F12"), answer("Input filename: ", "layout.lev")), lambda s: not s.near(YELLOW, 4, -4) and s.near(YELLOW, -3, -3)),
        ]
        for what, event, picture in steps:
            event()
            editor.wait_screen(picture, what)
        # The names stick: no prompt holds up the Escape.
        editor.key("F12", "F1", "Escape")
        self.assertEqual(editor.process.wait(timeout=20), 0)
        self.assertEqual(editor.printed(), "Curve number: 0\t\tPoint number: 2\nOutput filename: Input filename: ")


if __name__ == "__main__":
    main()
