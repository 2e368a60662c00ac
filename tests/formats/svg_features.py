"""Parts of SVG the importer resolves itself, each a row: a small drawing that
uses the part, and the same drawing resolved by hand into plain shapes (what
svgelements, which reads some of these parts otherwise or not at all, reads
as SVG means it). The import of the first must lie within the tolerance of
the second, both ways, as the editor draws it and as the export does.
Prints each failing row and exits 1.
    svg_features.py TOOL"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOLERANCE = "0.0015625"


def svg(attributes, content):
    return '<svg xmlns="http://www.w3.org/2000/svg" %s>%s</svg>' % (attributes, content)


ROWS = [
    ("percentages of the viewport: across, down and its diagonal",
     svg('viewBox="0 0 200 100"', '<line x1="10%" y1="50%" x2="90%" y2="50%"/><circle cx="50%" cy="50%" r="10%"/>'),
     svg('viewBox="0 0 200 100"', '<line x1="20" y1="50" x2="180" y2="50"/><circle cx="100" cy="50" r="15.8113883"/>')),
    ("absolute units",
     svg('viewBox="0 0 200 200"', '<rect x="0.5in" y="1.27cm" width="20mm" height="40Q"/>'
                                  '<line x1="6pt" y1="150" x2="10pc" y2="150"/>'),
     svg('viewBox="0 0 200 200"', '<rect x="48" y="48" width="75.5905512" height="37.7952756"/>'
                                  '<line x1="8" y1="150" x2="160" y2="150"/>')),
    ("a line's coordinates left out are 0",
     svg('viewBox="0 0 100 100"', '<line x2="90" y2="60"/><line x1="80" y1="20"/>'),
     svg('viewBox="0 0 100 100"', '<line x1="0" y1="0" x2="90" y2="60"/><line x1="80" y1="20" x2="0" y2="0"/>')),
    ("font-relative units at the default font size",
     svg('viewBox="0 0 100 100"', '<circle cx="2em" cy="3ex" r="1ch"/><line x1="1rem" y1="90" x2="5rem" y2="90"/>'),
     svg('viewBox="0 0 100 100"', '<circle cx="32" cy="24" r="8"/><line x1="16" y1="90" x2="80" y2="90"/>')),
    ("viewport units",
     svg('viewBox="0 0 200 100"', '<line x1="10vw" y1="10vh" x2="50vmax" y2="50vmin"/>'),
     svg('viewBox="0 0 200 100"', '<line x1="20" y1="10" x2="100" y2="50"/>')),
    ("an ellipse with one radius takes it for both",
     svg('viewBox="0 0 100 100"', '<ellipse cx="30" cy="50" rx="20"/><ellipse cx="70" cy="50" rx="auto" ry="10"/>'),
     svg('viewBox="0 0 100 100"', '<circle cx="30" cy="50" r="20"/><circle cx="70" cy="50" r="10"/>')),
    ("a nested svg places its viewBox in its viewport, centred and fitted by default",
     svg('viewBox="0 0 100 100"', '<svg x="10" y="20" width="50" height="25" viewBox="0 0 10 10">'
                                  '<circle cx="5" cy="5" r="4"/></svg>'),
     svg('viewBox="0 0 100 100"', '<circle cx="35" cy="32.5" r="10"/>')),
    ("a nested svg stretched by preserveAspectRatio none",
     svg('viewBox="0 0 100 100"', '<svg x="10" y="20" width="50" height="25" viewBox="0 0 10 10" '
                                  'preserveAspectRatio="none"><circle cx="5" cy="5" r="4"/></svg>'),
     svg('viewBox="0 0 100 100"', '<ellipse cx="35" cy="32.5" rx="20" ry="10"/>')),
    ("a nested svg filled from its corner by xMinYMin slice",
     svg('viewBox="0 0 100 100"', '<svg x="10" y="20" width="50" height="25" viewBox="0 0 10 10" '
                                  'preserveAspectRatio="xMinYMin slice"><circle cx="5" cy="5" r="4"/></svg>'),
     svg('viewBox="0 0 100 100"', '<circle cx="35" cy="45" r="20"/>')),
    ("a nested svg without a viewBox moves by its x and y, percentages of its own size",
     svg('viewBox="0 0 100 100"', '<svg x="10" y="20" width="40" height="20"><line x1="0" y1="50%" x2="100%" '
                                  'y2="50%"/></svg>'),
     svg('viewBox="0 0 100 100"', '<line x1="10" y1="30" x2="50" y2="30"/>')),
    ("a symbol drawn by a use of a size is scaled to it; one not used draws nothing",
     svg('viewBox="0 0 100 100"', '<symbol id="s" viewBox="0 0 10 10"><circle cx="5" cy="5" r="4"/></symbol>'
                                  '<symbol id="unused"><rect width="50" height="50"/></symbol>'
                                  '<use href="#s" x="20" y="20" width="60" height="60"/>'),
     svg('viewBox="0 0 100 100"', '<circle cx="50" cy="50" r="24"/>')),
    ("a symbol drawn by a use without a size fills the viewport",
     svg('viewBox="0 0 100 50"', '<symbol id="s" viewBox="0 0 10 10"><circle cx="5" cy="5" r="4"/></symbol>'
                                 '<use href="#s"/>'),
     svg('viewBox="0 0 100 50"', '<circle cx="50" cy="25" r="20"/>')),
    ("the drawing's own viewBox placed in its width and height, centred by default",
     svg('width="200" height="100" viewBox="0 0 100 100"', '<circle cx="50" cy="50" r="40"/>'),
     svg('viewBox="0 0 200 100"', '<circle cx="100" cy="50" r="40"/>')),
    ("the drawing's own viewBox placed at the left by xMinYMid",
     svg('width="200" height="100" viewBox="0 0 100 100" preserveAspectRatio="xMinYMid"',
         '<circle cx="50" cy="50" r="40"/>'),
     svg('viewBox="0 0 200 100"', '<circle cx="50" cy="50" r="40"/>')),
    ("a style sheet hides, shows and moves by type, class, id and combinators, !important first",
     svg('viewBox="0 0 100 100"', '<style>.ghost { display: none } @media print { path { display: none } } '
                                  'g > .shown { transform: translate(10px, 0) rotate(90deg) } '
                                  '#solid { display: inline !important } a:hover { display: none } '
                                  'svg path { visibility: visible } * { visibility: inherit }</style>'
                                  '<path class="ghost" d="M1 1 L5 5"/><g><line class="shown" x1="0" y1="0" x2="10" '
                                  'y2="0"/></g><path id="solid" style="display:none" d="M0 90 L10 90"/>'),
     svg('viewBox="0 0 100 100"', '<line x1="10" y1="0" x2="10" y2="10"/><path d="M0 90 L10 90"/>')),
    ("a drawing without a size is placed by the box of what it draws, transforms included",
     svg('width="100%" height="-5"', '<circle cx="50" cy="30" r="10"/><g transform="translate(0, -10)">'
                                     '<line x1="0" y1="10" x2="100" y2="10"/></g>'),
     svg('viewBox="0 0 100 40"', '<circle cx="50" cy="30" r="10"/><line x1="0" y1="0" x2="100" y2="0"/>')),
    ("a polyline's last coordinate without a pair is dropped",
     svg('viewBox="0 0 100 100"', '<polyline points="10 10 90 10 90 90 50"/>'),
     svg('viewBox="0 0 100 100"', '<polyline points="10 10 90 10 90 90"/>')),
]


def problems(tool, name, drawing, resolved, work):
    paths = [os.path.join(work, f) for f in ("drawing.svg", "resolved.svg", "out.lev")]
    for path, text in zip(paths, (drawing, resolved)):
        with open(path, "w") as f:
            f.write(text)
    imported = subprocess.run([tool, "import", "-o", paths[2], paths[0]], capture_output=True, text=True)
    if imported.returncode > 1:
        return ["%s: import failed: %s" % (name, imported.stderr)]
    found = []
    for mode in ([], ["--exact"]):
        checked = subprocess.run(["/usr/bin/python3", os.path.join(HERE, "svg_fit_check.py")] + mode +
                                 [paths[1], paths[2], TOLERANCE], capture_output=True, text=True)
        if checked.returncode != 0:
            found.append("%s %s: %s" % (name, " ".join(mode) or "drawn", checked.stdout + checked.stderr))
    return found


def main():
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for row in ROWS:
            failures += problems(sys.argv[1], *row, work)
    for failure in failures:
        print("FAIL:", failure)
    print("%d rows, %d failures" % (len(ROWS), len(failures)))
    return 1 if failures else 0


sys.exit(main())
