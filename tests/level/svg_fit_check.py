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

from svgelements import SVG, Arc, CubicBezier, Group, Matrix, Move, QuadraticBezier, Shape

SLACK = 1e-6
INK = "{http://www.inkscape.org/namespaces/inkscape}"
WORST_SHOWN = 5
FAR_STEP = 0.05  # far points: distance re-measured once a point moved 5% of it


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


class Grid:
    """Segments hashed by the cells they cross, for exact nearest distances."""

    def __init__(self, lines, cell):
        self.cell, self.cells, self.segs = cell, {}, []
        for line in filter(None, lines):
            self.segs += zip(line, line[1:]) if len(line) > 1 else [(line[0], line[0])]
        for index, ((x0, y0), (x1, y1)) in enumerate(self.segs):
            n = int(math.hypot(x1 - x0, y1 - y0) / cell) + 1  # pieces no longer than a cell
            ends = [(math.floor((x0 + (x1 - x0) * k / n) / cell), math.floor((y0 + (y1 - y0) * k / n) / cell))
                    for k in range(n + 1)]
            keys = {(i, j) for (i0, j0), (i1, j1) in zip(ends, ends[1:])
                    for i in range(min(i0, i1), max(i0, i1) + 1) for j in range(min(j0, j1), max(j0, j1) + 1)}
            for key in keys:
                self.cells.setdefault(key, []).append(index)
        self.segs = [(x0, y0, x1 - x0, y1 - y0, 1 / max((x1 - x0) ** 2 + (y1 - y0) ** 2, 1e-300))
                     for (x0, y0), (x1, y1) in self.segs]
        self.span = [min(k[a] for k in self.cells) for a in (0, 1)] + [max(k[a] for k in self.cells) for a in (0, 1)] \
            if self.cells else None

    def nearest(self, p, rings=None):
        """The distance from p to the segments, or None past `rings` rings."""
        if not self.span:
            return math.inf
        c, (x, y) = self.cell, p
        ci, cj = math.floor(x / c), math.floor(y / c)
        last = max(ci - self.span[0], cj - self.span[1], self.span[2] - ci, self.span[3] - cj, 0)
        inside = min(x - ci * c, (ci + 1) * c - x, y - cj * c, (cj + 1) * c - y)  # p to its cell's border
        best = math.inf  # squared
        for k in range(last + 1):
            ring = [(ci + di, cj + dj) for di in range(-k, k + 1) for dj in ((-k, k) if abs(di) < k else range(-k, k + 1))]
            for key in ring:
                for ax, ay, dx, dy, inverse in map(self.segs.__getitem__, self.cells.get(key, ())):
                    t = min(1, max(0, ((x - ax) * dx + (y - ay) * dy) * inverse))
                    ex, ey = x - ax - t * dx, y - ay - t * dy
                    best = min(best, ex * ex + ey * ey)
            if best <= (inside + k * c) ** 2:  # nothing outside the rings can be nearer
                break
            if rings is not None and k >= rings:
                return None
        return math.sqrt(best)


def measurer(lines, tolerance):
    """The exact distance from a point to the lines."""
    fine, coarse = Grid(lines, tolerance + SLACK), []

    def exact(p):
        d = fine.nearest(p, rings=4)
        if d is None:  # far: a coarser grid reaches it in fewer rings
            coarse[:] = coarse or [Grid(lines, 32 * fine.cell)]
            d = coarse[0].nearest(p)
        return d
    return exact


def distances(points, exact, tolerance):
    """Each point's distance; far ones within 5%, which keeps them failing."""
    out, far = [], None
    for p in points:
        if far and math.dist(p, far[0]) <= FAR_STEP * far[1]:
            out.append(far[1])
            continue
        out.append(exact(p))
        far = (p, out[-1]) if out[-1] > 4 * tolerance else None
    return out


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
            exact = measurer(lines, tolerance)
            ds = distances(points, exact, tolerance)
            bad = sorted((d, p) for d, p in zip(ds, points) if d > tolerance + SLACK)
            shown = sorted(((exact(p), p) for _, p in bad[-WORST_SHOWN:]), reverse=True)
            for d, p in shown:
                print(f"level {level}: {what} ({p[0]:.6f}, {p[1]:.6f}) is {d:.6g} from {other}")
            failed |= bool(bad)
            worst.append(max(ds + [d for d, _ in shown], default=0))
        print(f"level {level}: worst input-to-drawn {worst[0]:.6g}, drawn-to-input {worst[1]:.6g}")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
