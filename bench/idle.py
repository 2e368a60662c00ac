#!/usr/bin/env python3
"""What the real editor costs while nothing happens, during a drag, and how
soon a key shows: frames a second and CPU seconds per wall second, under a
private Xvfb with Mesa's software renderer, for the default square and for
four levels of 1,000 and 10,000 points each (current level 3).

    bench/idle.py EDITOR SWAP_LOG_LIBRARY

Frames and key presses are logged by the preloaded library (one line per
buffer swap and per key press the editor takes from its queue), CPU time is
read from /proc. The key delay is from the press leaving the queue to the end
of the next swap, which is the frame drawn after handling it.
"""

import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from editor import XServer, level_file, to_pixel  # noqa: E402

LAYOUTS = [("square", 0), ("1,000", 1000), ("10,000", 10000)]
LEVELS = 4
POINTS_PER_CURVE = 50
SETTLE = 1.0      # seconds after the last input before idle counting starts
SPAN = 3.0        # seconds counted, idle and dragging
MOVE_EVERY = 0.01  # seconds between the drag's pointer moves
KEY_PRESSES = 10
TITLE = "^Ombrel Editor$"


def layout(points_per_level):
    """Curves of 50 points wandering inside -4..4, like the frame benchmarks'."""
    rng = random.Random(1)
    levels = []
    for _ in range(LEVELS):
        curves = []
        for _ in range(points_per_level // POINTS_PER_CURVE):
            x, y = rng.uniform(-4, 4), rng.uniform(-4, 4)
            curve = []
            for _ in range(POINTS_PER_CURVE):
                curve.append((x, y))
                x = min(4.0, max(-4.0, x + rng.uniform(-0.25, 0.25)))
                y = min(4.0, max(-4.0, y + rng.uniform(-0.25, 0.25)))
            curves.append(curve)
        levels.append(curves)
    return levels


class Run:
    """One editor process with its swap log."""

    def __init__(self, xserver, program, library, args, workdir):
        self.log = os.path.join(workdir, "swaps.log")
        self.env = xserver.env()
        editor_env = dict(self.env, LD_PRELOAD=library, OMBREL_SWAP_LOG=self.log)
        self.process = subprocess.Popen([program] + args, env=editor_env, cwd=workdir,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        self.window = self.xdotool("search", "--sync", "--onlyvisible", "--name", TITLE).split()[0]
        while not self.events("s"):
            time.sleep(0.05)

    def xdotool(self, *args):
        # Xvfb without a window manager makes xdotool warn about the focus.
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=120).stdout.decode()

    def events(self, kind, since=0.0, until=float("inf")):
        try:
            with open(self.log) as f:
                times = [int(t) / 1e9 for k, t in (line.split() for line in f) if k == kind]
        except FileNotFoundError:
            return []
        return [t for t in times if since <= t < until]

    def cpu(self):
        with open("/proc/%d/stat" % self.process.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def measure(self, action):
        """Frames a second and CPU seconds per second while action runs."""
        start, cpu = time.monotonic(), self.cpu()
        action()
        end = time.monotonic()
        return len(self.events("s", start, end)) / (end - start), (self.cpu() - cpu) / (end - start)

    def close(self):
        self.process.kill()
        self.process.wait()


def drag(run, px, py):
    run.xdotool("mousemove", "--window", run.window, px, py, "mousedown", "--window", run.window, 1)
    moves = []
    for i in range(int(SPAN / MOVE_EVERY)):
        moves += ["mousemove", "--window", run.window, px + (i % 80) - 40, py + (i % 50) - 25,
                  "sleep", MOVE_EVERY]
    figures = run.measure(lambda: run.xdotool(*moves))
    run.xdotool("mouseup", "--window", run.window, 1)
    return figures


def wait(found, what):
    deadline = time.monotonic() + 60
    while not found():
        if time.monotonic() > deadline:
            raise RuntimeError("no " + what)
        time.sleep(0.005)
    return found()


def key_delays(run):
    delays = []
    for _ in range(KEY_PRESSES):
        seen = len(run.events("k"))
        run.xdotool("key", "--window", run.window, "w")
        pressed = wait(lambda: run.events("k")[seen:], "key press")[0]
        delays.append(wait(lambda: run.events("s", pressed), "frame after the key")[0] - pressed)
        time.sleep(0.2)
    return 1000 * statistics.median(delays), 1000 * max(delays)


def measure(xserver, program, library, name, points):
    with tempfile.TemporaryDirectory(prefix="ombrel-idle-") as workdir:
        args = []
        target = to_pixel(1.0, 1.0)
        if points:
            levels = layout(points)
            with open(os.path.join(workdir, "layout.lvl"), "w") as f:
                f.write(level_file(levels))
            args = ["-i", "layout.lvl"]
            target = to_pixel(*levels[LEVELS - 1][0][0])
        run = Run(xserver, program, library, args, workdir)
        try:
            for _ in range(LEVELS - 1 if points else 0):
                run.xdotool("key", "--window", run.window, "Up")
            time.sleep(SETTLE + points / 2000)
            idle = run.measure(lambda: time.sleep(SPAN))
            dragging = drag(run, *target)
            time.sleep(SETTLE + points / 2000)
            delay = key_delays(run)
        finally:
            run.close()
    print("| %s | %.1f | %.3f | %.1f | %.2f | %.1f | %.1f |" % ((name,) + idle + dragging + delay), flush=True)


def main():
    program, library = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    print("| points per level | idle fps | idle CPU s/s | drag fps | drag CPU s/s "
          "| key delay median ms | key delay max ms |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    xserver = XServer()
    try:
        for name, points in LAYOUTS:
            measure(xserver, program, library, name, points)
    finally:
        xserver.stop()
    with open("/proc/loadavg") as f:
        print("\nload average at the end: %s" % " ".join(f.read().split()[:3]))


if __name__ == "__main__":
    main()
