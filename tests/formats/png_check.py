"""export --png, as ImageMagick reads it: the size asked for, black where
nothing is drawn, each level's line in its colour where the editor draws it
(the top level red, the one below it blue), the markers with --points, the
current curve's yellow. Prints each failure and exits 1.
    png_check.py TOOL"""
import os
import subprocess
import sys
import tempfile

# Level 0 a line along y = -2, level 1 one along y = 2: each drawn from its
# second point to its third.
LAYOUT = ("( 0 1 2 3 )\n0 -4 -2 0\n1 -2 -2 0\n2 2 -2 0\n3 4 -2 0\n\n"
          "( 0 1 2 3 )\n0 -4 2 1\n1 -2 2 1\n2 2 2 1\n3 4 2 1\n\n")
TOP, BELOW, YELLOW, BLACK = (230, 0, 26), (51, 153, 230), (255, 255, 0), (0, 0, 0)


def picture(tool, work, *options):
    png = os.path.join(work, "out.png")
    subprocess.run([tool, "export", "--png", *options, "-o", png, os.path.join(work, "l.lev")], check=True)
    size = subprocess.run(["identify", "-format", "%w %h", png], capture_output=True, check=True).stdout.decode()
    rgb = subprocess.run(["convert", png, "rgb:-"], capture_output=True, check=True).stdout
    return size, int(size.split()[0]), rgb


def main():
    tool = sys.argv[1]
    problems = []
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "l.lev"), "w") as f:
            f.write(LAYOUT)
        for options, size, wanted in (
            ((), "640 640", [((0, 2), TOP), ((0, -2), BELOW), ((-1.5, 2), TOP), ((-2, 2), TOP), ((-3.5, 2), BLACK)]),
            (("--points", "--size", "640"), "640 640",
             [((-2, 2), YELLOW), ((-4, 2), YELLOW), ((-4, -2), BELOW), ((0, 2), TOP), ((-3.5, 2), BLACK)]),
            (("--size=100",), "100 100", []),
        ):
            got, width, rgb = picture(tool, work, *options)
            if got != size:
                problems.append("%s: %s, not %s" % (options, got, size))
            if rgb[:3] != bytes(BLACK) or rgb[-3:] != bytes(BLACK):
                problems.append("%s: corners not black" % (options,))
            for (x, y), colour in wanted:
                # The pixel row just above the level point: a line 2 pixels
                # wide along it covers that row and the next whole.
                column, row = round((x + 5) / 10 * width), round((5 - y) / 10 * width) - 1
                pixel = tuple(rgb[3 * (row * width + column):3 * (row * width + column) + 3])
                if any(abs(a - b) > 8 for a, b in zip(pixel, colour)):
                    problems.append("%s: %s at %s, not %s" % (options, pixel, (x, y), colour))
    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
