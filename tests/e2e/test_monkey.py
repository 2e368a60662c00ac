"""A seeded stream of random pointer moves, button presses and editing keys;
afterwards the editor must still run and save, and reading that file back
must give exactly the levels the reader is meant to make of it.

OMBREL_MONKEY_EVENTS (default 6000) and OMBREL_MONKEY_SEED (default 1) set
the run; for a long run by hand also raise OMBREL_E2E_LIMIT (seconds), e.g.
  OMBREL_EDITOR=build/ombrel-editor OMBREL_MONKEY_EVENTS=100000 \\
  OMBREL_E2E_LIMIT=7200 python3 tests/e2e/test_monkey.py
"""

import os
import random
import sys
import time

from editor import EditorTestCase, SQUARE, f32, level_file, main, wait_for

EVENTS = int(os.environ.get("OMBREL_MONKEY_EVENTS", "6000"))
SEED = int(os.environ.get("OMBREL_MONKEY_SEED", "1"))
BATCH = 150
# Never Escape, F1 or F12: the run must neither end nor wait on the console.
KEYS = ["w", "c", "C", "O", "o", "Left", "Right", "Up", "Down"]


def monkey_commands(rng, count, window, origin):
    """Yields xdotool command chains of about BATCH events each."""
    held = set()
    chain = []
    for _ in range(count):
        roll = rng.random()
        if roll < 0.45:
            # Mostly inside the window, some just outside it; screen
            # coordinates, as xdotool takes no negative window offsets.
            chain += ["mousemove", origin[0] + rng.randint(-20, 659), origin[1] + rng.randint(-20, 499)]
        elif roll < 0.75:
            button = rng.choice([1, 1, 2, 3])
            if button in held:
                held.discard(button)
                chain += ["mouseup", button]
            else:
                held.add(button)
                chain += ["mousedown", button]
        else:
            chain += ["key", "--window", window, "--delay", "0", rng.choice(KEYS)]
        if len(chain) >= 4 * BATCH:
            yield chain
            chain = []
    for button in sorted(held):
        chain += ["mouseup", button]
    if chain:
        yield chain


def parse_level_file(text):
    """Levels as lists of curves of (x text, y text, z text), checking that
    the file is the editor's own numbering."""
    levels = []
    numbering = {}
    for line in text.split("\n"):
        if line.startswith("("):
            curves = []
            numbering = {}
            expected = 0
            for group in line.split(")")[:-1]:
                numbers = [int(n) for n in group.replace("(", " ").split()]
                assert numbers == list(range(expected, expected + len(numbers))), line
                for k, n in enumerate(numbers):
                    numbering[n] = (len(curves), k)
                expected += len(numbers)
                curves.append([None] * len(numbers))
            levels.append(curves)
        elif line:
            number, x, y, z = line.split(" ")
            curve, k = numbering.pop(int(number))
            levels[-1][curve][k] = (x, y, z)
    assert all(p is not None for curves in levels for c in curves for p in c), "undeclared point"
    return levels


def reread(levels):
    """What the editor holds after reading these levels in a 640 x 480 window,
    written out as it writes it."""
    kept = []
    for curves in levels:
        points = [[(f32(float(x)), f32(float(y))) for x, y, _ in c] for c in curves]
        while points and not points[-1]:
            points.pop()       # empty curves after the last with points are lost
        kept.append(points)
    while kept and not kept[-1]:
        kept.pop()             # so are empty levels after the last with points
    if not kept:
        kept = [[]]
    for curves in kept:
        if not curves:
            curves.append([])
        if not curves[0]:
            curves[0] = SQUARE  # seeded at the first resize
    return level_file(kept)


class Monkey(EditorTestCase):
    def test_random_events_then_save_and_reload(self):
        rng = random.Random(SEED)
        editor = self.start("-o", "first.lev")
        started = time.monotonic()
        sent = 0
        for chain in monkey_commands(rng, EVENTS, editor.window, editor.origin):
            editor.run(*chain)
            sent += 1
            if sent % 10 == 0:
                self.assertTrue(editor.alive(), "the editor died (seed %d)" % SEED)
        driven = time.monotonic() - started
        self.assertTrue(editor.alive(), "the editor died (seed %d)" % SEED)
        # The queue of events drains before the save happens.
        first = editor.save("first.lev", timeout=max(60.0, EVENTS / 50.0))
        handled = time.monotonic() - started
        self.assertTrue(editor.alive())
        editor.key("Escape")
        self.assertEqual(editor.wait_exit(), 0)

        levels = parse_level_file(first)
        for z, curves in enumerate(levels):
            for c in curves:
                for _, _, pz in c:
                    self.assertEqual(pz, "%0.4f" % z, "a point off its level's height")
        points = sum(len(c) for curves in levels for c in curves)
        sys.stderr.write("monkey: seed %d, %d events sent in %.1f s, handled and saved in %.1f s, "
                         "%d levels, %d curves, %d points\n" % (
                             SEED, EVENTS, driven, handled, len(levels), sum(len(c) for c in levels), points))

        second = self.start("-i", "first.lev", "-o", "second.lev")
        self.assertEqual(second.save("second.lev", timeout=max(30.0, points / 500.0)), reread(levels))
        self.assertEqual(second.stdout(), "")


class Expectation(EditorTestCase):
    """The expectation above, against the editor on hand-made corner cases."""

    def test_reread_matches_the_editor(self):
        case = ("( 0 1 )( )( 2 )( )\n0 0.00005 -1.23456 0.0000\n1 4.99999 -0.00001 0.0000\n2 1 1 0\n\n"
                "( )\n\n"
                "( )( 0 )\n0 -2.5 2.5 2.0000\n\n"
                "( )\n\n")
        self.write("case.lev", case)
        editor = self.start("-i", "case.lev", "-o", "out.lev")
        wait_for(lambda: editor.alive(), what="the editor")
        self.assertEqual(editor.save("out.lev"), reread(parse_level_file(case)))


if __name__ == "__main__":
    main()
