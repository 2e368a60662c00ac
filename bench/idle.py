#!/usr/bin/env python3
# What the real editor costs while nothing happens, during a drag, and how
# soon a key shows: frames a second and CPU seconds per wall second, with Mesa's
# software renderer, for the default square and for four levels of 1,000 and
# 10,000 points each (the benchmark layout, current level 3). Run on a display
# of its own (bench/run idle starts one):
#
#     bench/idle.py EDITOR SWAP_LOG_LIBRARY LAYOUT_WRITER
#
# Frames and key presses are logged by the preloaded library (one line per
# buffer swap and per key press the editor takes from its queue), CPU time is
# read from /proc. The key delay is from the press leaving the queue to the end
# of the next swap, which is the frame drawn after handling it.

import os
import statistics
import subprocess
import sys
import tempfile
import time

LAYOUTS = [("square", 0), ("1,000", 1000), ("10,000", 10000)]
SETTLE = 1.0       # seconds after the last input before idle counting starts
SPAN = 3.0         # seconds counted, idle and dragging
MOVE_EVERY = 0.01  # seconds between the drag's pointer moves
KEY_PRESSES = 10


def to_pixel(x, y):
    # Level units to pixels of the 640 x 480 window.
    return round((x + 5.0) / 10.0 * 640), round((5.0 - y) / 10.0 * 480)


def xdotool(*args):
    # With no window manager xdotool warns about the focus.
    return subprocess.run(["xdotool"] + [str(a) for a in args], check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=120).stdout.decode()


def wait(found, what):
    deadline = time.monotonic() + 60
    while not found():
        if time.monotonic() > deadline:
            raise RuntimeError("no " + what)
        time.sleep(0.005)
    return found()


class Run:
    # One editor process with its swap log.

    def __init__(self, program, library, args, workdir):
        self.log = os.path.join(workdir, "swaps.log")
        env = dict(os.environ, LD_PRELOAD=library, OMBREL_SWAP_LOG=self.log)
        self.process = subprocess.Popen([program] + args, env=env, cwd=workdir, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL)
        self.window = xdotool("search", "--sync", "--onlyvisible", "--name", "^Ombrel Editor$").split()[0]
        wait(lambda: self.events("s"), "first frame")

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
        # Frames a second and CPU seconds per second while action runs.
        start, cpu = time.monotonic(), self.cpu()
        action()
        end = time.monotonic()
        return len(self.events("s", start, end)) / (end - start), (self.cpu() - cpu) / (end - start)

    def drag(self, px, py):
        xdotool("mousemove", "--window", self.window, px, py, "mousedown", "--window", self.window, 1)
        moves = []
        for i in range(int(SPAN / MOVE_EVERY)):
            moves += ["mousemove", "--window", self.window, px + (i % 80) - 40, py + (i % 50) - 25, "sleep", MOVE_EVERY]
        figures = self.measure(lambda: xdotool(*moves))
        xdotool("mouseup", "--window", self.window, 1)
        return figures

    def key_delays(self):
        delays = []
        for _ in range(KEY_PRESSES):
            seen = len(self.events("k"))
            xdotool("key", "--window", self.window, "w")
            pressed = wait(lambda: self.events("k")[seen:], "key press")[0]
            delays.append(wait(lambda: self.events("s", pressed), "frame after the key")[0] - pressed)
            time.sleep(0.2)
        return 1000 * statistics.median(delays), 1000 * max(delays)


def measure(program, library, writer, name, points):
    with tempfile.TemporaryDirectory(prefix="ombrel-idle-") as workdir:
        args, target = [], to_pixel(1.0, 1.0)
        if points:
            subprocess.run([writer, "write", str(points), os.path.join(workdir, "layout.lvl")], check=True)
            args = ["-i", "layout.lvl"]
            with open(os.path.join(workdir, "layout.lvl")) as f:  # level 3's point 0
                target = to_pixel(*map(float, f.read().split("\n\n")[3].split("\n")[1].split()[1:3]))
        run = Run(program, library, args, workdir)
        try:
            for _ in range(3 if points else 0):
                xdotool("key", "--window", run.window, "Up")
            time.sleep(SETTLE + points / 2000)
            idle = run.measure(lambda: time.sleep(SPAN))
            dragging = run.drag(*target)
            time.sleep(SETTLE + points / 2000)
            delay = run.key_delays()
        finally:
            run.process.kill()
            run.process.wait()
    print("| %s | %.1f | %.3f | %.1f | %.2f | %.1f | %.1f |" % ((name,) + idle + dragging + delay), flush=True)


def main():
    program, library, writer = (os.path.abspath(a) for a in sys.argv[1:4])
    print("| points per level | idle fps | idle CPU s/s | drag fps | drag CPU s/s "
          "| key delay median ms | key delay max ms |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for name, points in LAYOUTS:
        measure(program, library, writer, name, points)
    with open("/proc/loadavg") as f:
        print("\nload average at the end: %s" % " ".join(f.read().split()[:3]))


if __name__ == "__main__":
    main()
