"""A seeded stream of random pointer moves, button presses and editing keys;
afterwards the editor must still run, save a well-formed file and quit.
OMBREL_MONKEY_EVENTS (default 6000) and OMBREL_MONKEY_SEED (default 1) set the
run; for a long run by hand raise OMBREL_E2E_LIMIT (seconds) too."""

import os
import random
import re

from editor import EditorTestCase, main, wait_for

EVENTS = int(os.environ.get("OMBREL_MONKEY_EVENTS", "6000"))
SEED = int(os.environ.get("OMBREL_MONKEY_SEED", "1"))
# Never Escape, F1 or F12: the run must neither end nor wait on the console.
KEYS = ["w", "c", "C", "O", "o", "Left", "Right", "Up", "Down"]


class Monkey(EditorTestCase):
    def test_random_events_then_save(self):
        rng = random.Random(SEED)
        editor = self.start("-o", "out.lev")
        chain, held = [], set()
        for n in range(EVENTS):
            roll = rng.random()
            if roll < 0.45:  # some moves go past the right and bottom edges
                chain += ["mousemove", "--window", editor.window, rng.randint(0, 660), rng.randint(0, 500)]
            elif roll < 0.75:
                button = rng.choice([1, 1, 2, 3])
                chain += ["mouseup" if button in held else "mousedown", button]
                held ^= {button}
            else:
                chain += ["key", "--window", editor.window, "--delay", "0", rng.choice(KEYS)]
            if len(chain) > 600 or n == EVENTS - 1:
                editor.xdotool(*chain + [a for b in held for a in ("mouseup", b)])
                chain, held = [], set()
                self.assertIsNone(editor.process.poll(), "the editor died (seed %d)" % SEED)
        editor.key("F1")
        wait_for(lambda: editor.read("out.lev"), "the save", timeout=max(60.0, EVENTS / 50.0))
        # Every level's structure numbers its points from 0, and every point
        # lies at its level's height.
        for z, section in enumerate(editor.read("out.lev").split("\n\n")[:-1]):
            lines = section.split("\n")
            self.assertEqual(" ".join(re.findall(r"\d+", lines[0])), " ".join(map(str, range(len(lines) - 1))))
            for n, line in enumerate(lines[1:]):
                self.assertRegex(line, r"^%d -?\d+\.\d{4} -?\d+\.\d{4} %d\.0000$" % (n, z))
        editor.key("Escape")
        self.assertEqual(editor.process.wait(timeout=20), 0)


if __name__ == "__main__":
    main()
