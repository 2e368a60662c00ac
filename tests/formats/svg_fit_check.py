"""Checks a level file against the SVG drawing it was imported from, with
svgelements' geometry: per level, every densely sampled input point lies
within TOLERANCE of the drawn curves, and every drawn vertex within
TOLERANCE of the input shapes. Prints what fails and exits 1. With --exact
the curves are drawn as the export draws them, as exact Béziers (sampled
finely enough to stray from them by a fiftieth of the tolerance), not as the
editor's ten chords a segment.
    svg_fit_check.py [--exact] DRAWING.svg LEVELS.lev TOLERANCE"""
import math
import re
import sys

import numpy as np
from svgelements import SVG, Arc, CubicBezier, Group, Matrix, Move, QuadraticBezier, Shape

SLACK = 1e-6
INK = "{http://www.inkscape.org/namespaces/inkscape}"
WORST_SHOWN = 5


def input_levels(path, tolerance):
    """Each level's input as polylines of samples at most tolerance / 2 apart."""
    # svgelements 1.7 transforms arcs wrongly under skew, so shapes stay
    # untransformed and each sample is mapped by its matrix here.
    svg = SVG.parse(path, reify=False)
    box = svg.viewbox
    minx, miny, w, h = (box.x, box.y, box.width, box.height) if box else (0, 0, svg.width, svg.height)
    s = 10 / max(w, h)
    to_level = Matrix(s, 0, 0, -s, -(minx + w / 2) * s, (miny + h / 2) * s)
    unview = ~Matrix(svg.viewbox_transform) if box else Matrix()
    layers, loose = [], []  # loose: (index of the layer before, shape)

    def walk(node, layer):
        for child in node:
            if isinstance(child, Group):
                own = child.values.get("attributes", {})
                if layer is None and own.get(INK + "groupmode") == "layer":
                    layers.append((own.get(INK + "label", ""), []))
                    walk(child, len(layers) - 1)
                else:
                    walk(child, layer)
            elif isinstance(child, Shape):
                if layer is None:
                    loose.append((len(layers) - 1, child))
                else:
                    layers[layer][1].append(child)

    walk(svg, None)
    numbers = [re.fullmatch(r"Level (\d+)", label) for label, _ in layers]
    order = list(range(len(layers)))
    if layers and all(numbers):
        order.sort(key=lambda k: int(numbers[k].group(1)))
    level_of = {layer: rank for rank, layer in enumerate(order)}
    shapes = [list(layers[k][1]) for k in order] or [[]]
    for before, shape in loose:
        shapes[level_of[before] if before >= 0 else 0].append(shape)
    return [[line for shape in level for line in sample(shape, shape.transform * unview * to_level, tolerance)]
            for level in shapes]


def speed(seg):
    """An upper bound of |d point / dt| in the segment's own units."""
    if isinstance(seg, Arc):
        return abs(seg.sweep) * max(seg.rx, seg.ry)
    if isinstance(seg, (QuadraticBezier, CubicBezier)):
        ps = [seg.start] + ([seg.control] if isinstance(seg, QuadraticBezier) else [seg.control1, seg.control2]) + [seg.end]
        return (len(ps) - 1) * max(abs(a - b) for a, b in zip(ps, ps[1:]))
    return abs(seg.end - seg.start)


def sample(shape, m, tolerance):
    stretch = math.sqrt(m.a ** 2 + m.b ** 2 + m.c ** 2 + m.d ** 2)  # bounds the matrix's stretch
    lines, line = [], None
    for seg in shape.segments(transformed=False):
        if isinstance(seg, Move) or line is None:
            line = []
            lines.append(line)
        if seg.start is None or seg.end is None or isinstance(seg, Move):
            continue
        n = max(1, math.ceil(speed(seg) * stretch / (tolerance / 2)))
        # point(t) for many t at once: svgelements tries to import numpy per call
        for x, y in seg.npoint([k / n for k in range(0 if not line else 1, n + 1)]):
            line.append((m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f))
    return [line for line in lines if line]


def drawn_levels(path, fine):
    """Each level's curves as the editor draws them, as polylines."""
    levels, points = [], None  # points: None while a structure line is due
    for number, raw in enumerate(open(path, encoding="utf-8"), 1):
        fields = raw.split()
        if points is None and (not fields or raw.startswith("(")):  # blank: a level without curves
            points = {}
            levels.append([[int(v) for v in g.split()] for g in re.findall(r"\(([^)]*)\)", raw)] + [points])
        elif points is not None and len(fields) == 4:
            points[int(fields[0])] = (float(fields[1]), float(fields[2]))
        elif points is not None and not fields:
            points = None
        else:
            sys.exit(f"{path}:{number}: neither a structure nor a point line")
    try:
        return [[draw([level[-1][k] for k in curve], fine) for curve in level[:-1]] for level in levels]
    except KeyError as missing:
        sys.exit(f"{path}: no point line numbered {missing}")


def pieces(a, b, c, d, fine):
    """Ten as the editor draws; as finely as `fine` strays for the exact Bézier."""
    if not fine:
        return 10
    bez = [b, tuple(b[x] + (c[x] - a[x]) / 6 for x in (0, 1)), tuple(c[x] - (d[x] - b[x]) / 6 for x in (0, 1)), c]
    bend = max(math.dist((0, 0), tuple(bez[k][x] - 2 * bez[k + 1][x] + bez[k + 2][x] for x in (0, 1))) for k in (0, 1))
    return max(10, math.ceil(math.sqrt(3 * bend / (4 * fine))))


def draw(p, fine=0):
    n = len(p)
    if n == 0:
        return []
    is_open = n >= 4
    out = [p[1] if is_open else p[(2 * n - 2) % n]]
    for i in range(3 if is_open else 0, n):
        a, b, c, d = (p[(i - 3 + j) % n] for j in range(4))
        m = pieces(a, b, c, d, fine)
        for k in range(1, m):
            t = k / m
            out.append(tuple(0.5 * ((-a[x] + 3 * b[x] - 3 * c[x] + d[x]) * t ** 3 + (2 * a[x] - 5 * b[x] + 4 * c[x] - d[x]) * t * t
                                    + (c[x] - a[x]) * t + 2 * b[x]) for x in (0, 1)))
        out.append(p[(i - 1) % n])
    return out


def segments_of(lines):
    """The lines' segments as two arrays of ends; a lone point is a segment to itself."""
    ends = [(np.asarray(l[:-1] or l, float), np.asarray(l[1:] or l, float)) for l in lines if l]
    if not ends:
        return np.zeros((0, 2)), np.zeros((0, 2))
    return np.concatenate([a for a, _ in ends]), np.concatenate([b for _, b in ends])


def to_segments(points, a, b):
    """Each point's distance to the segment of the same row."""
    d = b - a
    length2 = np.maximum((d * d).sum(1), 1e-300)
    t = np.clip(((points - a) * d).sum(1) / length2, 0, 1)
    return np.hypot(*(points - a - t[:, None] * d).T)


class Near:
    """Segments hashed by the grid cells their pieces touch: a point's
    distance to them is exact up to a cell, and more than a cell beyond."""

    CHUNK = 20000

    def __init__(self, lines, cell):
        self.a, self.b = segments_of(lines)
        self.cell = cell
        d = self.b - self.a
        n = np.maximum(1, np.ceil(np.hypot(*d.T) / cell)).astype(np.int64)  # pieces no longer than a cell
        seg = np.repeat(np.arange(len(n)), n)
        k = np.arange(len(seg)) - np.repeat(np.cumsum(n) - n, n)
        ends = [self.a[seg] + d[seg] * (k + e)[:, None] / n[seg][:, None] for e in (0, 1)]
        lo, hi = (self.cells(f(ends[0], ends[1])) for f in (np.minimum, np.maximum))
        keys, segs = [], []
        for di in (0, 1):  # a piece no longer than a cell touches at most 2 x 2 cells
            for dj in (0, 1):
                ok = (lo[:, 0] + di <= hi[:, 0]) & (lo[:, 1] + dj <= hi[:, 1])
                keys.append(self.key(lo[ok, 0] + di, lo[ok, 1] + dj))
                segs.append(seg[ok])
        keys, segs = np.concatenate(keys), np.concatenate(segs)
        order = np.lexsort((segs, keys))
        self.keys, self.segs = keys[order], segs[order]

    def cells(self, p):
        return np.clip(np.floor(p / self.cell), -2 ** 30, 2 ** 30).astype(np.int64)

    @staticmethod
    def key(i, j):
        return (i + 2 ** 30) * 2 ** 31 + (j + 2 ** 30)

    def distances(self, points):
        """Exact where at most a cell; where more, more than a cell (or inf)."""
        points = np.asarray(points, float).reshape(-1, 2)
        best = np.full(len(points), np.inf)
        for start in range(0, len(points), self.CHUNK):
            p = points[start:start + self.CHUNK]
            c = self.cells(p)
            for di in (-1, 0, 1):
                for dj in (-1, 0, 1):
                    key = self.key(c[:, 0] + di, c[:, 1] + dj)
                    lo = np.searchsorted(self.keys, key, "left")
                    count = np.searchsorted(self.keys, key, "right") - lo
                    row = np.repeat(np.arange(len(p)), count)
                    at = np.repeat(lo, count) + np.arange(count.sum()) - np.repeat(np.cumsum(count) - count, count)
                    s = self.segs[at]
                    np.minimum.at(best[start:start + self.CHUNK], row, to_segments(p[row], self.a[s], self.b[s]))
        return best

    def exact(self, point):
        """The distance to every segment, however far."""
        p = np.broadcast_to(np.asarray(point, float), self.a.shape)
        return float(to_segments(p, self.a, self.b).min()) if len(self.a) else math.inf


def main():
    exact = sys.argv[1:2] == ["--exact"]
    args = sys.argv[1 + exact:]
    if len(args) != 3:
        sys.exit(__doc__)
    tolerance = float(args[2])
    wanted, drawn = input_levels(args[0], tolerance), drawn_levels(args[1], tolerance / 50 if exact else 0)
    failed = len(wanted) != len(drawn)
    if failed:
        print(f"the drawing has {len(wanted)} levels, the level file {len(drawn)}")
    for level, (inputs, curves) in enumerate(zip(wanted, drawn)):
        worst = []
        for what, points, lines, other in (("input point", [p for l in inputs for p in l], curves, "the drawn curve"),
                                           ("drawn vertex", [p for l in curves for p in l], inputs, "the input")):
            near = Near(lines, tolerance + SLACK)
            ds = near.distances(points)
            bad = np.flatnonzero(ds > tolerance + SLACK)
            # Beyond a cell only the worst few are measured exactly, to be shown.
            shown = sorted(((near.exact(points[k]), points[k]) for k in bad[np.argsort(ds[bad])][-WORST_SHOWN:]),
                           reverse=True)
            for d, p in shown:
                print(f"level {level}: {what} ({p[0]:.6f}, {p[1]:.6f}) is {d:.6g} from {other}")
            failed |= bool(len(bad))
            worst.append(max([float(ds[ds <= tolerance + SLACK].max(initial=0))] + [d for d, _ in shown]))
        print(f"level {level}: worst input-to-drawn {worst[0]:.6g}, drawn-to-input {worst[1]:.6g}")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
