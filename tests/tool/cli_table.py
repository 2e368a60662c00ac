"""ombrel-level's command line, one case a row: the files before, the shell
command ($T is the tool), the exit status, the exact standard output and
error, and the files afterwards (bytes, or None for a file that must not
exist, or None for one that may stay as it is; no other file may appear). Prints each failing row and exits 1.
    cli_table.py TOOL"""
import gzip
import os
import subprocess
import sys
import tempfile

CLEAN = b"( 0 1 )\n1 2 2 0\n0 1 1 0\n"
FORMATTED = b"( 0 1 )\n0 1.0000 1.0000 0.0000\n1 2.0000 2.0000 0.0000\n\n"
NOTED = b"( 0 )\n0 1.0000 1.0000 7.0000\n"  # z is a note only
NOTE = "noted.lev:2:1: note: z is 7, not the level number 0: the level number is used\n"
# A point line without a readable y: its point is lost.
LOSSY = b"( 0 1 )\n0 1 1 0\n1 2 y 0\n\n( 0 )\n0 3 3 1\n\n"
LOSSY_FINDINGS = ("lossy.lev:1:5: note: point 1 has no point line: not restored by a reload\n"
                  "lossy.lev:3:1: error: point line without a readable y: ignored\n")
# Point numbers stay declared across structure lines, so each short level
# rebuilds a long curve of filler points: 61 point lines make 18422 points.
FILLER = ("( " + "1 " * 300 + "7\n7 1 1 0\n" + "(\n7 0 0 0\n" * 60).encode()
MADE_UP = ("the reading makes 18422 points and curves from 61 point lines, more than 100 for each plus 10000: "
           "mostly filler, not what the file plainly holds")
# A UTF-8 byte order mark is skipped: the layout reads whole.
BOM = b"\xef\xbb\xbf( 0 1 )\n0 1 1 0\n1 2 2 0\n\n( 0 )\n0 3 3 1\n\n"
REFUSED = "ombrel-level: lossy.lev loses points when read: nothing written (--lossy writes anyway)\n"
FULL = "ombrel-level: can't write standard output: No space left on device\n"


COMMANDS = ("check", "format", "export", "import")


def hint(command=""):
    return "Try 'ombrel-level %s--help'.\n" % (command + " " if command else "")


def refusal(command, why):
    first = command.split(" ")[0]
    return ("$T " + command, 2, "", "ombrel-level: %s\n" % why + hint(first if first in COMMANDS else ""))


def refusals():
    rows = [
        ("", "a command is needed: check, format, export or import"),
        ("bogus a.lev", "unknown command bogus"),
        ("chekc a.lev", "unknown command chekc (did you mean check?)"),
        ("check", "check needs at least one FILE"),
        ("check a.lev --bogus", "unknown option --bogus"),
        ("check -o x a.lev", "-o is not an option of check"),
        ("check ''", "an empty word is not a file name"),
        ("format", "format needs a FILE"),
        ("format a.lev b.lev", "format takes one FILE (got also b.lev)"),
        ("format -o", "-o needs a value: a file name"),
        ("format -o x -o y a.lev", "-o may be given only once"),
        ("format -o '' a.lev", "-o takes a file name (got \"\")"),
        ("format --svg a.lev", "--svg is not an option of format"),
        ("export a.lev", "export needs one of --svg, --obj, --json and --png"),
        ("export --svg --json a.lev", "export takes one format, not both --svg and --json"),
        ("export --obj --obj a.lev", "--obj may be given only once"),
        ("export --svgg a.lev", "unknown option --svgg (did you mean --svg?)"),
        ("export --json -o a -o b a.lev", "-o may be given only once"),
        ("export --json -o '' a.lev", "-o takes a file name (got \"\")"),
        ("export --obj --polyline a.lev", "--polyline works only with --svg"),
        ("export --json --points a.lev", "--points works only with --svg and --png"),
        ("export --svg --size 100 a.lev", "--size works only with --png"),
        ("export --png --samples 5 a.lev", "--samples does not work with --png: it draws as the editor does"),
        ("export --png --size 15 a.lev", "--size takes a whole number from 16 to 4096 (got \"15\")"),
        ("export --png --size=4097 a.lev", "--size takes a whole number from 16 to 4096 (got \"4097\")"),
        ("export --png --polyline a.lev", "--polyline works only with --svg"),
        ("export --svg --samples 5 a.lev", "--samples works with --svg only beside --polyline: the Beziers are exact"),
        ("export --json --samples 0 a.lev", "--samples takes a whole number from 1 to 100 (got \"0\")"),
        ("export --obj --samples 101 a.lev", "--samples takes a whole number from 1 to 100 (got \"101\")"),
        ("export --svg --polyline --samples '' a.lev", "--samples takes a whole number from 1 to 100 (got \"\")"),
        ("export --obj --samples 5 --samples 6 a.lev", "--samples may be given only once"),
        ("export --obj a.lev --samples", "--samples needs a value: a whole number from 1 to 100"),
        ("export --obj --samples ' 5' a.lev", "--samples takes a whole number from 1 to 100 (got \" 5\")"),
        ("export --obj --samples=5.0 a.lev", "--samples takes a whole number from 1 to 100 (got \"5.0\")"),
        ("format --lossy=yes a.lev", "--lossy takes no value (got \"yes\")"),
        ("format --bogus=1 a.lev", "unknown option --bogus"),
        ("import --tolerance 0x0.1 a.lev", "--tolerance takes a number of level units from 0.0001 to 1 (got \"0x0.1\")"),
        ("import --tolerance=inf a.lev", "--tolerance takes a number of level units from 0.0001 to 1 (got \"inf\")"),
        ("import --tolerance=1e a.lev", "--tolerance takes a number of level units from 0.0001 to 1 (got \"1e\")"),
    ]
    return [(command,) + refusal(command, why) for command, why in rows]


def rows():
    same = "ombrel-level: OUT %s is the input a.lev itself: an export would destroy it\n"
    return [(name, {"a.lev": CLEAN}, command, status, out, err, {"a.lev": CLEAN}) for name, command, status, out, err
            in refusals()] + [
        ("version", {}, "$T --version", 0, "ombrel-level 1.0\n", "", {}),
        ("help anywhere wins", {}, "$T format --bogus --help", 0,
         "usage: ombrel-level format [--lossy] [-o OUT] FILE\n"
         "Writes exactly what the editor's F1 writes after starting with -i FILE. When the\n"
         "reading loses points it writes nothing, prints check's findings on standard\n"
         "error and exits 1.\n"
         "  -o OUT          write to OUT, saved as the editor's F1 saves, instead of standard output\n"
         "  --lossy         write even when the reading loses points, or makes far more than it reads\n"
         "FILE and OUT may be - for standard input and output.\n", "", {}),
        ("-h is --help, for the tool and each command", {},
         "$T -h >a; $T --help | cmp - a && $T import -o x -h >b; $T import --help | cmp - b && echo same", 0,
         "same\n", "", {"a": None, "b": None}),
        ("--option=value is --option value", {"a.lev": CLEAN},
         "$T export --obj --samples=3 a.lev >a; $T export --obj --samples 3 a.lev | cmp - a && echo same", 0,
         "same\n", "", {"a.lev": CLEAN, "a": None}),
        ("-o a folder", {"a.lev": CLEAN}, "mkdir d && $T format -o d a.lev", 2, "",
         "ombrel-level: can't write d: Is a directory\n", {"a.lev": CLEAN, "d": None}),
        # Notes don't fail a check; errors do, and format refuses them.
        ("notes only", {"noted.lev": NOTED}, "$T check noted.lev", 0, NOTE, "", {"noted.lev": NOTED}),
        ("notes are formatted", {"noted.lev": NOTED}, "$T format noted.lev", 0,
         "( 0 )\n0 1.0000 1.0000 0.0000\n\n", "", {"noted.lev": NOTED}),
        ("errors fail check", {"lossy.lev": LOSSY}, "$T check lossy.lev", 1, LOSSY_FINDINGS, "",
         {"lossy.lev": LOSSY}),
        ("in place refused", {"lossy.lev": LOSSY}, "$T format -o lossy.lev lossy.lev", 1, "",
         LOSSY_FINDINGS + REFUSED, {"lossy.lev": LOSSY}),
        ("stdout refused", {"lossy.lev": LOSSY}, "$T format - < lossy.lev", 1, "",
         LOSSY_FINDINGS.replace("lossy.lev:", "-:") + REFUSED.replace("lossy.lev", "-"), {"lossy.lev": LOSSY}),
        ("lossy writes", {"lossy.lev": LOSSY}, "$T format --lossy -o lossy.lev lossy.lev", 0, "", "",
         {"lossy.lev": b"( 0 )\n0 1.0000 1.0000 0.0000\n\n( 0 )\n0 3.0000 3.0000 1.0000\n\n"}),
        ("a reading that makes far more than its point lines is an error, said once, its filler a finding a run",
         {"f.lev": FILLER}, "$T check f.lev >out; echo $?; head -8 out; wc -l <out", 0,
         "1\nf.lev:1:1: error: " + MADE_UP + "\n"
         "f.lev:1:3: note: point 1 is declared again later: 299 of its places on this line are filled with (0, 0, 0)\n"
         "f.lev:1:5: note: point 1 is declared again on this line at each of the next 299 places: the last wins\n"
         "f.lev:1:601: note: point 1 has no point line: filled with (0, 0, 0)\n"
         "f.lev:1:604: note: group not closed by ')': the next structure line goes on with its positions\n"
         "f.lev:3:1: note: curve 0, positions 0 to 299 are declared by no number: filled with (0, 0, 1)\n"
         "f.lev:4:1: note: point 7 is not declared by its level's structure line: placed where an earlier one put it "
         "(curve 0, position 300)\n"
         "f.lev:4:1: note: z is 0, not the level number 1: the level number is used\n185\n", "",
         {"f.lev": FILLER, "out": None}),
        ("format and export refuse it; --lossy writes what the editor reads", {"f.lev": FILLER},
         "$T format f.lev 2>&1 | tail -1; $T export --obj f.lev; echo $?; $T format --lossy f.lev | wc -l; "
         "$T export --json --lossy f.lev | wc -c", 0,
         "ombrel-level: f.lev loses points when read: nothing written (--lossy writes anyway)\n1\n18483\n1205947\n",
         "ombrel-level: f.lev: " + MADE_UP + ": nothing written (--lossy writes anyway)\n", {"f.lev": FILLER}),
        ("a long run of one number is one finding, the work bounded", {"z.lev": ("( " + "0 " * 500000 + ")\n0 1 1 0\n").encode()},
         BOUNDED + " check - <z.lev", 1,
         "-:1:1: error: the reading makes 500001 points and curves from 1 point lines, more than 100 for each plus "
         "10000: mostly filler, not what the file plainly holds\n"
         "-:1:3: note: point 0 is declared again later: 499999 of its places on this line are filled with (0, 0, 0)\n"
         "-:1:5: note: point 0 is declared again on this line at each of the next 499999 places: the last wins\n", "",
         {"z.lev": None}),
        ("a byte order mark is skipped, and noted", {"bom.lev": BOM}, "$T check bom.lev; $T format - <bom.lev", 0,
         "bom.lev:1:1: note: byte order mark: skipped\n( 0 1 )\n0 1.0000 1.0000 0.0000\n1 2.0000 2.0000 0.0000\n\n"
         "( 0 )\n0 3.0000 3.0000 1.0000\n\n", "", {"bom.lev": BOM}),
        ("only a whole byte order mark is skipped", {"b.lev": BOM[:2] + BOM[3:]}, "$T check b.lev", 1,
         "b.lev:1:1: error: point line without a readable point number: ignored\n"
         "b.lev:2:1: error: point line before any structure line: ignored\n"
         "b.lev:3:1: error: point line before any structure line: ignored\n"
         "b.lev:6:1: note: z is 1, not the level number 0: the level number is used\n", "", {"b.lev": None}),
        ("format in place", {"a.lev": CLEAN}, "$T format -o a.lev a.lev", 0, "", "", {"a.lev": FORMATTED}),
        # Export never writes over its own input, whatever the name.
        ("export over itself", {"a.lev": CLEAN}, "$T export --svg -o a.lev a.lev", 2, "", same % "a.lev",
         {"a.lev": CLEAN}),
        ("export over a hard link", {"a.lev": CLEAN}, "ln a.lev hard.lev && $T export --json -o hard.lev a.lev", 2,
         "", same % "hard.lev", {"a.lev": CLEAN, "hard.lev": CLEAN}),
        ("export over a symbolic link", {"a.lev": CLEAN}, "ln -s a.lev soft.lev && $T export --obj -o soft.lev - < a.lev",
         2, "", same.replace("a.lev", "-") % "soft.lev", {"a.lev": CLEAN, "soft.lev": CLEAN}),
        # Standard output and error named by a path are written where the
        # shell put them.
        ("-o /dev/stdout appends", {"a.lev": CLEAN},
         "printf 'line before\\n' > log.txt; $T format -o /dev/stdout a.lev >> log.txt", 0, "", "",
         {"a.lev": CLEAN, "log.txt": b"line before\n" + FORMATTED}),
        ("-o /dev/fd/1 between echoes", {"a.lev": CLEAN},
         "{ echo header; $T format -o /dev/fd/1 a.lev; echo footer; } > out.txt", 0, "", "",
         {"a.lev": CLEAN, "out.txt": b"header\n" + FORMATTED + b"footer\n"}),
        ("-o /dev/stderr appends", {"a.lev": CLEAN},
         "printf 'before\\n' > log.txt; $T format -o /dev/stderr a.lev 2>> log.txt", 0, "", "",
         {"a.lev": CLEAN, "log.txt": b"before\n" + FORMATTED}),
        ("-o the redirected file", {"a.lev": CLEAN},
         "printf 'before\\n' > log.txt; $T format -o log.txt a.lev >> log.txt", 0, "", "",
         {"a.lev": CLEAN, "log.txt": b"before\n" + FORMATTED}),
        # Failures name their reason.
        ("missing input", {"noted.lev": NOTED}, "$T check missing.lev noted.lev", 2, NOTE,
         "ombrel-level: can't open missing.lev: No such file or directory\n", {"noted.lev": NOTED}),
        ("folder as input", {}, "$T check .", 2, "", "ombrel-level: can't read .: Is a directory\n", {}),
        ("missing folder", {"a.lev": CLEAN}, "$T format -o nodir/out.lev a.lev", 2, "",
         "ombrel-level: can't write nodir/out.lev: No such file or directory\n", {"a.lev": CLEAN}),
        ("full check", {"lossy.lev": LOSSY}, "$T check lossy.lev > /dev/full", 2, "", FULL, {"lossy.lev": LOSSY}),
        ("full help", {}, "$T --help > /dev/full", 2, "", FULL, {}),
        ("full version", {}, "$T --version > /dev/full", 2, "", FULL, {}),
        ("full command help", {}, "$T export --help > /dev/full", 2, "", FULL, {}),
        ("full format", {"a.lev": CLEAN}, "$T format a.lev > /dev/full", 2, "", FULL, {"a.lev": CLEAN}),
    ]


LAYERS = b"""<svg xmlns="http://www.w3.org/2000/svg" xmlns:inkscape="http://www.inkscape.org/namespaces/inkscape" viewBox="0 0 100 100">
<defs><path id="seg" d="M15 20 L20 20"/></defs>
<g inkscape:groupmode="layer" inkscape:label="Level 1"><line x1="50" y1="50" x2="60" y2="50"/></g>
<g inkscape:groupmode="layer" inkscape:label="Level 0"><g transform="translate(10,0) scale(2)"><use href="#seg"/></g></g>
<g inkscape:groupmode="layer" inkscape:label="Level 2" style="display:none"><line x1="0" y1="0" x2="9" y2="9"/></g>
</svg>
"""
# Layers ordered by their labels, a use through two transforms, a hidden
# layer; a straight line is its two ends and one beyond each.
LAYERED = ("( 0 1 2 3 )\n0 -2.0000 1.0000 0.0000\n1 -1.0000 1.0000 0.0000\n2 0.0000 1.0000 0.0000\n"
           "3 1.0000 1.0000 0.0000\n\n( 0 1 2 3 )\n0 -1.0000 0.0000 1.0000\n1 0.0000 0.0000 1.0000\n"
           "2 1.0000 0.0000 1.0000\n3 2.0000 0.0000 1.0000\n\n")
LAYER_NOTES = ("layers.svg:2:7: note: level 0, curve 0: 4 control points\n"
               "layers.svg:3:56: note: level 1, curve 0: 4 control points\n"
               "layers.svg:5:1: note: hidden layer \"Level 2\": not imported\n")
SQUARE_JSON = (b'{"units":"level","extent":[-5,5],"yUp":true,"samplesPerSegment":1,"levels":[{"level":0,"curves":['
               b'{"closed":true,"controlPoints":[[0,0],[1,0],[1,1],[0,1]],"samples":[]}]}]}')
# A level number off its index and an open curve of two points: the JSON
# import mends both and says so.
OPEN_TWO_JSON = (SQUARE_JSON.replace(b'"level":0', b'"level":3')
                 .replace(b'"closed":true,"controlPoints":[[0,0],[1,0],[1,1],[0,1]]',
                          b'"closed":false,"controlPoints":[[0,0],[1,0]]'))
PREFIXED = (b'<s:svg xmlns:s="http://www.w3.org/2000/svg" viewBox="0 0 10 10"><s:g><s:path d="M5 5 L6 5"/></s:g>'
            b'</s:svg>')
LOOP = ("( 0 1 2 3 4 5 6 )\n0 0.0000 1.0000 0.0000\n1 0.0000 0.0000 0.0000\n2 1.0000 0.0000 0.0000\n"
        "3 1.0000 1.0000 0.0000\n4 0.0000 1.0000 0.0000\n5 0.0000 0.0000 0.0000\n6 1.0000 0.0000 0.0000\n\n")
LAUGHS = (b'<?xml version="1.0"?>\n<!DOCTYPE lolz [<!ENTITY lol "lol">' +
          b"".join(b'<!ENTITY lol%d "%s">' % (k, b"&lol%d;" % (k - 1) * 10 if k > 1 else b"&lol;" * 10)
                   for k in range(1, 10)) +
          b']>\n<svg viewBox="0 0 10 10"><title>&lol9;</title><path d="M5 5 L6 5"/></svg>\n')
NESTED = b'<svg viewBox="0 0 10 10">' + b"<g>" * 100000 + b'<path d="M5 5 L6 5"/>' + b"</g>" * 100000 + b"</svg>"
LONG_PATH = b'<svg viewBox="0 0 10 10"><path d="M0 5' + b" l.001 0" * 10000000 + b'"/></svg>'
# One curve far longer than the square, but straight: flattened by the
# tolerance it needs no point between its ends.
LONG_CURVE = b'<svg viewBox="0 0 100 100"><path d="M0 0 Q 700 0 1400 0"/></svg>'
ONE_LINE = "( 0 1 2 3 )\n0 -1.0000 0.0000 0.0000\n1 0.0000 0.0000 0.0000\n2 1.0000 0.0000 0.0000\n3 2.0000 0.0000 0.0000\n\n"


SVG = b'<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100"%s>%s</svg>'
# Small drawings that once ran away: curves opened by an id, uses of
# themselves, and a fan of uses without a cycle.
FAR_ID = SVG % (b"", b'<path id="level0-curve2147483647" d="M0 0 L1 1"/>')
EXPORTED_FAR_ID = (b'<svg xmlns="http://www.w3.org/2000/svg" viewBox="-5 -5 10 10"><g transform="scale(1,-1)">'
                   b'<path id="level0-curve0" d="M-2 1 C-1.5 1 -0.6666667 -1 0 -1 C0.6666667 -1 1.5 1 2 1"/>'
                   b'<path id="level0-curve10000000" d="M1 3 C1.1666666 3.1666667 0.33333334 4 0 4"/>'
                   b'<path id="level0-curve10000" d="M1 3 C1.1666666 3.1666667 0.33333334 4 0 4"/></g></svg>')
CYCLE = SVG % (b' id="r"', b'<path d="M1 1 L 50 50"/><use href="#r"/><use href="#r"/>')
STYLED_CYCLE = CYCLE.replace(b' id="r"', b' id="r" style="' + b"fill:red;" * 11400 + b'"')
LONG_HREF = STYLED_CYCLE.replace(b"</svg>", b'<use href="#' + b"x" * 100000 + b'"/></svg>')
FAN = SVG % (b"", b"<defs>" + b'<path id="d0" d="M1 1 L 50 50"/>' +
             b"".join(b'<g id="d%d"><use href="#d%d"/><use href="#d%d"/></g>' % (k, k - 1, k - 1)
                      for k in range(1, 31)) + b'</defs><use href="#d30"/>')
# Each under a time limit and, where the tool has AddressSanitizer, a
# memory limit.
BOUNDED = "ASAN_OPTIONS=$ASAN_OPTIONS:hard_rss_limit_mb=2048 timeout 30 $T"


FOREIGN = (b'<svg xmlns="http://www.w3.org/2000/svg" xmlns:evil="http://example.com/notsvg" viewBox="0 0 100 100">'
           b'<evil:path d="M1 1 L5 5"/><path xmlns="http://example.com/notsvg" d="M1 1 L5 5"/>'
           b'<evil:g><path d="M1 1 L5 5"/></evil:g><switch><evil:path d="M1 1 L5 5"/>'
           b'<foreignObject requiredExtensions="http://example.com/x"/><line x1="0" y1="50" x2="10" y2="50"/>'
           b'<path d="M1 1 L5 5"/></switch></svg>')
ZERO = SVG % (b"", b'<path transform="scale(0)" d="M1 1 L5 5"/><g transform="matrix(0 0 0 0 0 0)">'
              b'<path d="M1 1 L5 5"/></g><line x1="0" y1="50" x2="10" y2="50"/>')
# Two characters of two UTF-16 units and of four UTF-8 bytes before a message's place.
UNICODE = ('<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100">\n<!-- \u20ac -->\n'
           '\U0001F600\U0001F600<text>x</text>\n<line x1="0" y1="50" x2="10" y2="50"/></svg>')
TWICE = SVG % (b"", b'<defs><g id="g"><text>A</text><line x1="0" y1="50" x2="10" y2="50"/></g></defs>'
               b'<use href="#g"/><use href="#g" transform="translate(0,10)"/>')
SHORT_LINE = "( 0 1 2 3 )\n0 -6.0000 0.0000 0.0000\n1 -5.0000 0.0000 0.0000\n2 -4.0000 0.0000 0.0000\n" \
             "3 -3.0000 0.0000 0.0000\n\n"
CYCLE_LINE = "( 0 1 2 3 )\n0 -9.8000 9.8000 0.0000\n1 -4.9000 4.9000 0.0000\n2 0.0000 0.0000 0.0000\n" \
             "3 4.9000 -4.9000 0.0000\n\n"
# The line that ends an import of one curve of four points.
ONE_CURVE = ": imported 1 level, 1 curve, 4 control points within 0.0015625\n"
OUTSIDE = "note: curve 0 of level 0 has points outside the -5..5 square: kept, but the editor can't pick them\n"


def hostile_rows():
    return [
        ("an id's curve number opens no empty curves for a path the export didn't write", {"far.svg": FAR_ID},
         BOUNDED + " import far.svg", 0,
         "( 0 1 2 3 )\n0 -5.1000 5.1000 0.0000\n1 -5.0000 5.0000 0.0000\n2 -4.9000 4.9000 0.0000\n"
         "3 -4.8000 4.8000 0.0000\n\n",
         "far.svg:1:63: note: level 0, curve 0: 4 control points\nfar.svg:1:63: " + OUTSIDE + "far.svg" + ONE_CURVE,
         {"far.svg": None}),
        ("the export's ids open at most 10,000 empty curves", {"ex.svg": EXPORTED_FAR_ID},
         BOUNDED + " import -o o.lev ex.svg; head -c 26 o.lev", 0, "( 0 1 2 3 4 )( 5 6 7 8 )( ",
         "ex.svg:1:90: note: level 0, curve 0: 5 control points (its own Catmull-Rom points)\n"
         "ex.svg:1:177: warning: level 0, curve 1: its id asks for 9999999 empty curves before it, more than an "
         "import fills in (10000 in all): placed next\n"
         "ex.svg:1:177: note: level 0, curve 1: 4 control points (its own Catmull-Rom points)\n"
         "ex.svg:1:257: note: level 0, curve 10000: 4 control points (its own Catmull-Rom points)\n"
         "ex.svg: imported 1 level, 10001 curves, 13 control points within 0.0015625\n", {"ex.svg": None, "o.lev": None}),
        ("a use of what holds it draws nothing", {"c.svg": CYCLE}, BOUNDED + " import c.svg", 1, CYCLE_LINE,
         "c.svg:1:70: note: level 0, curve 0: 4 control points\nc.svg:1:70: " + OUTSIDE +
         "c.svg:1:94: warning: <use> of \"#r\" draws itself: nothing drawn\n"
         "c.svg:1:110: warning: <use> of \"#r\" draws itself: nothing drawn\nc.svg" + ONE_CURVE, {"c.svg": None}),
        ("a long style is read once, a long href quoted short", {"c.svg": LONG_HREF}, BOUNDED + " import c.svg", 1,
         CYCLE_LINE,
         "c.svg:1:102679: note: level 0, curve 0: 4 control points\nc.svg:1:102679: " + OUTSIDE +
         "c.svg:1:102703: warning: <use> of \"#r\" draws itself: nothing drawn\n"
         "c.svg:1:102719: warning: <use> of \"#r\" draws itself: nothing drawn\n"
         "c.svg:1:102735: warning: <use> of \"#xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\", which isn't here: "
         "ignored\nc.svg" + ONE_CURVE, {"c.svg": None}),
        ("uses fanning out draw 100,000 elements, and messages stop at 512 KB", {"fan.svg": FAN},
         BOUNDED + " import -o out.lev fan.svg 2>err; echo $?; wc -c <err; wc -c <out.lev; head -2 err; tail -2 err",
         0, "1\n357553\n3426264\n"
         "fan.svg:1:69: warning: <use> draws more than 100000 elements in all: the rest of what it places is not "
         "drawn\n"
         "fan.svg:1:69: note: level 0, curve 0: 4 control points\n"
         "fan.svg:1:1663: note: 43799 more messages not shown (an import shows at most 512 KB of them)\n"
         "fan.svg: imported 1 level, 24989 curves, 99956 control points within 0.0015625\n", "",
         {"fan.svg": None, "err": None, "out.lev": None}),
        ("a drawing without a size is placed by what it draws, and says so",
         {"n.svg": b'<svg xmlns="http://www.w3.org/2000/svg"><path d="M5 3 Z"/></svg>'}, "$T import n.svg", 0,
         "( 0 )\n0 0.0000 0.0000 0.0000\n\n",
         "n.svg:1:1: note: the drawing has no size: placed by what it draws, 1 by 1 from (4.5, 2.5)\n"
         "n.svg:1:41: note: level 0, curve 0: 1 control points\n" + "n.svg: imported 1 level, 1 curve, 1 control point within 0.0015625\n", {"n.svg": None}),
    ] + [(why, {"z.svg": drawing}, "$T import z.svg", 1, "",
          "z.svg:1:1: warning: %s\nz.svg:1:%d: warning: nothing to import: no level has a point, nothing written\n"
          % (why, len(drawing) + 1), {"z.svg": None}) for why, drawing in (
        ("the viewBox has a width or a height of zero: it draws nothing",
         b'<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 0 10" width="9" height="9"><line x2="5"/></svg>'),
        ("the drawing has no size, and draws nothing to place it by",
         b'<svg xmlns="http://www.w3.org/2000/svg"><path d="M5 5"/></svg>'))] + [
        ("layers numbered apart become levels side by side, each said",
         {"l.svg": (b'<svg xmlns="http://www.w3.org/2000/svg" xmlns:inkscape="http://www.inkscape.org/namespaces/inkscape"'
                    b' viewBox="0 0 100 100"><g inkscape:groupmode="layer" inkscape:label="Level 2"><line x1="0" y1="50"'
                    b' x2="10" y2="50"/></g><g inkscape:groupmode="layer" inkscape:label="Level 0"><line x2="9"/></g></svg>')},
         "$T import l.svg 2>&1 >/dev/null | head -1", 0,
         "l.svg:1:124: note: layer \"Level 2\" is level 1: a level file has no empty levels\n", "", {"l.svg": None}),
        ("an export saved as plain SVG, its layers' marks gone, comes back in its levels",
         {"s.lev": open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "cases", "small-layout.lev"), "rb").read()},
         "$T format s.lev | sed 's/-0\\.0000/0.0000/g' >f.lev; "
         "$T export --svg s.lev | sed 's/ inkscape:[a-z]*=\"[^\"]*\"//g; s/ xmlns:inkscape=\"[^\"]*\"//' | "
         "$T import - 2>/dev/null | cmp - f.lev && echo same", 0, "same\n", "", {"s.lev": None, "f.lev": None}),
        ("what isn't drawn says why", {"w.svg": SVG % (b' xmlns:xi="http://www.w3.org/2001/XInclude"', (
            b'<xi:include href="other.svg"/><image href="p.png" width="5" height="5"/>'
            b'<foreignObject width="5" height="5"/><text>A</text><line x1="0" y1="50" x2="10" y2="50"/>'))},
         "$T import w.svg", 1, SHORT_LINE,
         "w.svg:1:106: warning: <xi:include> is not followed: what it includes is not imported\n"
         "w.svg:1:136: warning: <image> is a picture, not a shape: not imported\n"
         "w.svg:1:178: warning: <foreignObject> is content of another kind, not a shape: not imported\n"
         "w.svg:1:215: warning: <text> is not a shape: not imported (a drawing program can convert text to paths)\n"
         "w.svg:1:229: note: level 0, curve 0: 4 control points\nw.svg:1:229: " + OUTSIDE + "w.svg" + ONE_CURVE,
         {"w.svg": None}),
        ("a message of an element drawn twice is said once, with its count", {"t.svg": TWICE}, "$T import t.svg", 1,
         SHORT_LINE.replace(" )", " )( 4 5 6 7 )")[:-1] + "4 -6.0000 -1.0000 0.0000\n5 -5.0000 -1.0000 0.0000\n"
         "6 -4.0000 -1.0000 0.0000\n7 -3.0000 -1.0000 0.0000\n\n",
         "t.svg:1:79: warning: <text> is not a shape: not imported (a drawing program can convert text to paths) "
         "(2 times)\n"
         "t.svg:1:93: note: level 0, curve 0: 4 control points\nt.svg:1:93: note: level 0, curve 1: 4 control points\n"
         "t.svg:1:93: " + OUTSIDE + "t.svg:1:93: " + OUTSIDE.replace("curve 0", "curve 1") + "t.svg: imported 1 level, 2 curves, 8 control points within 0.0015625\n", {"t.svg": None}),
        ("only SVG's elements draw; a switch draws its first child SVG can draw", {"ns.svg": FOREIGN},
         "$T import ns.svg", 0, SHORT_LINE,
         "ns.svg:1:102: note: <path> is not in the SVG namespace: not imported\n"
         "ns.svg:1:128: note: <path> is not in the SVG namespace: not imported\n"
         "ns.svg:1:183: note: <g> is not in the SVG namespace: not imported\n"
         "ns.svg:1:313: note: level 0, curve 0: 4 control points\nns.svg:1:313: " + OUTSIDE + "ns.svg" + ONE_CURVE,
         {"ns.svg": None}),
        ("a transform not understood is said and left out", {"t.svg": SVG % (b"", b'<path transform="rotate(x)" '
                                                                            b'd="M0 50 L10 50"/>')},
         "$T import t.svg", 1, SHORT_LINE,
         "t.svg:1:63: warning: transform not understood (expected ')'): ignored\n"
         "t.svg:1:63: note: level 0, curve 0: 4 control points\nt.svg:1:63: " + OUTSIDE + "t.svg" + ONE_CURVE,
         {"t.svg": None}),
        ("a rect's ry alone rounds it as rx and ry together",
         {"ry.svg": SVG % (b"", b'<rect x="10" y="10" width="40" height="20" ry="5"/>'),
          "both.svg": SVG % (b"", b'<rect x="10" y="10" width="40" height="20" rx="5" ry="5"/>')},
         "$T import -o a.lev ry.svg 2>/dev/null; $T import both.svg 2>/dev/null | cmp - a.lev && echo same", 0,
         "same\n", "", {"ry.svg": None, "both.svg": None, "a.lev": None}),
        ("a viewport of size zero draws nothing; a coordinate without a pair is dropped; each is said",
         {"z.svg": SVG % (b"", b'<svg width="0"><line x1="0" y1="0" x2="9" y2="9"/></svg><svg viewBox="0 0 0 10">'
                               b'<line x1="0" y1="0" x2="9" y2="9"/></svg><polyline points="0 50 10 50 20"/>')},
         "$T import z.svg", 1, SHORT_LINE,
         "z.svg:1:63: warning: <svg> has a size or a viewBox of zero: nothing in it is drawn\n"
         "z.svg:1:119: warning: <svg> has a size or a viewBox of zero: nothing in it is drawn\n"
         "z.svg:1:184: warning: points of <polyline> end with a coordinate that has no pair: it is dropped\n"
         "z.svg:1:184: note: level 0, curve 0: 4 control points\nz.svg:1:184: " + OUTSIDE + "z.svg" + ONE_CURVE,
         {"z.svg": None}),
        ("what a style sheet holds that the import doesn't read is said once", {"s.svg": SVG % (b"", (
            b"<style>@media print { path { display: none } } a:hover, [x], g + g { display: none } "
            b"@import url(x.css);</style><style>@media screen { }</style>"
            b'<line x1="0" y1="50" x2="10" y2="50"/>'))},
         "$T import s.svg", 0, SHORT_LINE,
         "s.svg:1:63: note: style sheet: @import rules are passed over\n"
         "s.svg:1:63: note: style sheet: @media rules are passed over\n"
         "s.svg:1:63: note: style sheet: attribute selectors are passed over\n"
         "s.svg:1:63: note: style sheet: pseudo-classes are passed over\n"
         "s.svg:1:63: note: style sheet: sibling combinators are passed over\n"
         "s.svg:1:207: note: level 0, curve 0: 4 control points\ns.svg:1:207: " + OUTSIDE + "s.svg" + ONE_CURVE,
         {"s.svg": None}),
    ] + [("a drawing in %s is told by its content; places count its characters" % name,
          {"u.svg": mark + UNICODE.encode(encoding)}, "$T import u.svg", 1, SHORT_LINE,
          "u.svg:3:3: warning: <text> is not a shape: not imported (a drawing program can convert text to paths)\n"
          "u.svg:4:1: note: level 0, curve 0: 4 control points\nu.svg:4:1: " + OUTSIDE + "u.svg" + ONE_CURVE,
          {"u.svg": None})
         for name, mark, encoding in (("UTF-16LE", b"\xff\xfe", "utf-16-le"), ("UTF-16BE", b"\xfe\xff", "utf-16-be"),
                                      ("UTF-8 with a byte order mark", b"\xef\xbb\xbf", "utf-8"))] + [
        ("a gzip file is inflated, whatever its name", {"c.lev": gzip.compress(CYCLE)}, "$T import c.lev", 1,
         CYCLE_LINE,
         "c.lev:1:70: note: level 0, curve 0: 4 control points\nc.lev:1:70: " + OUTSIDE +
         "c.lev:1:94: warning: <use> of \"#r\" draws itself: nothing drawn\n"
         "c.lev:1:110: warning: <use> of \"#r\" draws itself: nothing drawn\nc.lev" + ONE_CURVE, {"c.lev": None}),
        ("a gzip file cut short is refused as gzip", {"c.svgz": gzip.compress(CYCLE)[:40]}, "$T import c.svgz", 2, "",
         "ombrel-level: c.svgz is gzip, and can't be read: its data is cut short\n", {"c.svgz": None}),
        ("a gzip file that inflates beyond the import's limit is refused with the limit",
         {"b.svgz": gzip.compress(b" " * (129 << 20), 9)}, BOUNDED + " import b.svgz", 2, "",
         "ombrel-level: b.svgz is gzip, and can't be read: it inflates to more than 128 MiB, more than an import "
         "reads\n", {"b.svgz": None}),
        ("a shape its transform draws at a size of zero is said and dropped", {"z.svg": ZERO}, "$T import z.svg", 1,
         SHORT_LINE,
         "z.svg:1:63: warning: <path> is drawn at a size of zero (its transform): not imported\n"
         "z.svg:1:105: warning: <g> is drawn at a size of zero (its transform): not imported\n"
         "z.svg:1:165: note: level 0, curve 0: 4 control points\nz.svg:1:165: " + OUTSIDE + "z.svg" + ONE_CURVE,
         {"z.svg": None}),
    ] + [("not well-formed: " + why, {"bad.svg": SVG % (attributes, content)}, "$T import bad.svg", 2, "",
          "bad.svg:1:%d: error: not XML: %s: nothing written\n" % (column, why), {"bad.svg": None})
         for attributes, content, column, why in (
             (b"", b"</svg><svg>", 69, "junk after document element"),
             (b' x="1" x="2"', b"", 69, "duplicate attribute"),
             (b"", b'<evil:path d="M1 1 L5 5"/>', 63, "unbound prefix"),
             (b"", b'<path d="M1 1 &#0; L5 5"/>', 77, "reference to invalid character number"),
         )]


def import_rows():
    untouched = {"out.lev": CLEAN}
    return [
        ("import layers", {"layers.svg": LAYERS}, "$T import layers.svg", 0, LAYERED,
         LAYER_NOTES + "layers.svg: imported 2 levels, 2 curves, 8 control points within 0.0015625\n",
         {"layers.svg": LAYERS}),
        ("import a JSON loop", {"square.json": SQUARE_JSON}, "$T import -o out.lev - < square.json", 0, "",
         "-: imported 1 level, 1 curve, 7 control points as written\n",
         {"square.json": SQUARE_JSON, "out.lev": LOOP.encode()}),
        ("import JSON said and mended", {"two.json": OPEN_TWO_JSON}, "$T import two.json", 1, ONE_LINE,
         "two.json:1:87: warning: /levels/0/level: level number 3 at index 0: the index is used\n"
         "two.json:1:98: warning: /levels/0/curves/0: an open curve of 2 points would be drawn as a loop: end points "
         "added so it is drawn open\ntwo.json: imported 1 level, 1 curve, 4 control points as written\n",
         {"two.json": None}),
        ("a curve the fit can't hold says how far it strays; the last line counts it",
         {"s.svg": SVG % (b"", b'<path d="M 73.8613 2.51736 C 72.1777 20.5672 98.9492 45.1591 87.199 2.72121 '
                          b'L 21.3337 38.5761 C 91.2839 99.571 58.2607 9.50105 30.9663 79.404 C 63.7077 49.0852 '
                          b'22.7582 27.553 56.3982 30.265 Q 13.4931 78.6971 87.835 90.9864 L 41.9197 92.6963"/>')},
         "$T import -o o.lev s.svg", 1, "",
         "s.svg:1:63: note: level 0, curve 0: 194 control points\n"
         "s.svg:1:63: warning: level 0, curve 0: no fit within 0.0015625 found: it strays up to 0.00258761\n"
         "s.svg: imported 1 level, 1 curve, 194 control points within 0.0015625 except 1 curve\n",
         {"s.svg": None, "o.lev": None}),
        ("a JSON syntax error after a long run of blanks is placed on its token",
         {"b.json": b'{"levels":[' + b" " * 1000000 + b'x'}, BOUNDED + " import b.json", 2, "",
         "b.json:1:1000012: error: not JSON: unexpected 'x': nothing written\n", {"b.json": None}),
        ("a JSON token too long for a layout is refused where it starts",
         {"s.json": b'{"units":"' + b"a" * 70000 + b'"}', "n.json": b'{"units":' + b"1" * 60000 + b'}'},
         BOUNDED + " import s.json; " + BOUNDED + " import n.json", 2, "",
         "s.json:1:10: error: a name, number or word of more than 64 KB: none of a layout is that long: nothing "
         "written\nn.json:1:10: error: not JSON: a malformed number or one beyond the double range: "
         "'1111111111111111111111111111111111111111...': nothing written\n", {"s.json": None, "n.json": None}),
        ("import JSON cut short", {"cut.json": SQUARE_JSON[:-2], "out.lev": CLEAN}, "$T import -o out.lev cut.json", 2,
         "", "cut.json:1:170: error: not JSON: cut short: nothing written\n", {"cut.json": None, **untouched}),
        ("import prefixed elements", {"pre.svg": PREFIXED}, "$T import pre.svg", 0, ONE_LINE,
         "pre.svg:1:70: note: level 0, curve 0: 4 control points\npre.svg" + ONE_CURVE, {"pre.svg": None}),
        ("import a root that is no SVG element: another name, or svg of another namespace",
         {"h.svg": b'<html xmlns="http://www.w3.org/1999/xhtml"/>',
          "n.svg": b'<svg xmlns="http://example.com/notsvg" viewBox="0 0 1 1"/>'},
         "$T import h.svg; $T import n.svg", 2, "",
         "h.svg:1:1: error: not an SVG drawing: the root element is <html>: nothing written\n"
         "n.svg:1:1: error: not an SVG drawing: the root element is <svg> of another namespace: nothing written\n",
         {"h.svg": None, "n.svg": None}),
        ("import no XML", {"bad.svg": b"<svg>\n<g><path d='M0 0'/></svg>", "out.lev": CLEAN},
         "$T import -o out.lev bad.svg", 2, "",
         "bad.svg:2:22: error: not XML: mismatched tag: nothing written\n", {"bad.svg": None, **untouched}),
        ("import a level without curves: the place named is the empty array",
         {"e.json": SQUARE_JSON.replace(b'[{"closed":true,"controlPoints":[[0,0],[1,0],[1,1],[0,1]],"samples":[]}]',
                                        b"[]")},
         "$T import e.json", 2, "", "e.json:1:98: error: /levels/0/curves: a level has at least one curve: nothing "
         "written\n", {"e.json": None}),
        ("import a point of one coordinate: the place named is the point",
         {"p.json": SQUARE_JSON.replace(b"[1,1]", b"[1]")},
         "$T import p.json", 2, "", "p.json:1:144: error: /levels/0/curves/0/controlPoints/2: a point has two "
         "coordinates, x and y: nothing written\n", {"p.json": None}),
        ("import off the schema", {"bad.json": b'{"units":"level","extent":[-5,5],"yUp":false}', "out.lev": CLEAN},
         "$T import -o out.lev bad.json", 2, "",
         "bad.json:1:44: error: /yUp: expected true, found false: nothing written\n", {"bad.json": None, **untouched}),
        ("import nothing", {"empty.svg": b'<svg viewBox="0 0 1 1"><path d="M0 0"/></svg>'},
         "$T import -o out.lev empty.svg", 1, "",
         "empty.svg:1:1: warning: input level 0 has no points: a level file can't keep an empty level, dropped\n"
         "empty.svg:1:46: warning: nothing to import: no level has a point, nothing written\n", {"empty.svg": None}),
        ("import over itself", {"a.svg": LAYERS}, "$T import -o a.svg a.svg", 2, "",
         "ombrel-level: OUT a.svg is the input a.svg itself: an import would destroy it\n", {"a.svg": LAYERS}),
        ("import unknown", {"a.txt": b"hello"}, "$T import a.txt", 2, "",
         "ombrel-level: a.txt is neither an SVG drawing nor a JSON layout (try --from)\n", {"a.txt": None}),
        ("billion laughs", {"l.svg": LAUGHS}, "$T import l.svg", 2, "",
         "l.svg:3:33: error: not XML: limit on input amplification factor (from DTD and entities) breached: "
         "nothing written\n", {"l.svg": None}),
        ("deep groups", {"n.svg": NESTED}, "$T import n.svg", 0, ONE_LINE,
         "n.svg:1:300026: note: level 0, curve 0: 4 control points\nn.svg" + ONE_CURVE, {"n.svg": None}),
        ("a path breaks off", {"p.svg": b'<svg viewBox="0 0 10 10"><path d="M5 5 L6 5 L1e999 2 L3 3"/></svg>'},
         "$T import p.svg", 1, ONE_LINE,
         "p.svg:1:26: warning: path data stops at character 12 (number out of range): what came before is kept\n"
         "p.svg:1:26: note: level 0, curve 0: 4 control points\np.svg" + ONE_CURVE, {"p.svg": None}),
        ("one long straight curve needs no points between its ends", {"q.svg": LONG_CURVE}, "$T import q.svg", 0,
         "( 0 1 2 3 )\n0 -145.0000 5.0000 0.0000\n1 -5.0000 5.0000 0.0000\n2 135.0000 5.0000 0.0000\n"
         "3 275.0000 5.0000 0.0000\n\n",
         "q.svg:1:28: note: level 0, curve 0: 4 control points\n"
         "q.svg:1:28: note: curve 0 of level 0 has points outside the -5..5 square: kept, but the editor can't pick "
         "them\nq.svg" + ONE_CURVE, {"q.svg": None}),
        ("a lone point beyond the float range", {"far.svg": b'<svg viewBox="0 0 1 8"><polygon points="0 4e38"/></svg>'},
         "$T import far.svg", 1, "",
         "far.svg:1:1: warning: input level 0 has no points: a level file can't keep an empty level, dropped\n"
         "far.svg:1:24: warning: a subpath beyond the float range: not imported\n"
         "far.svg:1:56: warning: nothing to import: no level has a point, nothing written\n", {"far.svg": None}),
        ("the exporter's id on a Bézier beyond the float range",
         {"inf.svg": b'<svg viewBox="0 0 100 100"><path id="level0-curve0" d="M0 0 C4e39 0 -4e39 0 10 10"/></svg>'},
         "$T import inf.svg", 1, "",
         "inf.svg:1:1: warning: input level 0 has no points: a level file can't keep an empty level, dropped\n"
         "inf.svg:1:28: warning: a subpath beyond the float range: not imported\n"
         "inf.svg:1:91: warning: nothing to import: no level has a point, nothing written\n", {"inf.svg": None}),
        ("a circle as wide as the float range is fitted as finely as its floats allow",
         {"c.svg": b'<svg viewBox="0 0 1 1"><circle cx="0" cy="0" r="1e29"/></svg>'}, "$T import -o o.lev c.svg; head -c 12 o.lev", 0,
         "( 0 1 2 3 4 ",
         "c.svg:1:1: warning: the drawing reaches 1e+30 level units out, where a level file's numbers are coarser "
         "than 0.0015625: fitted within 4.76837e+23\n"
         "c.svg:1:24: note: level 0, curve 0: 390 control points\n"
         "c.svg:1:24: note: curve 0 of level 0 has points outside the -5..5 square: kept, but the editor can't pick "
         "them\nc.svg: imported 1 level, 1 curve, 390 control points within 4.76837e+23\n", {"c.svg": None, "o.lev": None}),
        ("circles too long to flatten at the tolerance are fitted more loosely, and say so",
         {"m.svg": b'<svg viewBox="0 0 100 100">' + b'<circle cx="50" cy="50" r="10000"/>' * 200 + b'</svg>'},
         "$T import m.svg 2>&1 >/dev/null | head -2", 0,
         "m.svg:1:1: warning: the drawing's paths are too long to fit within 0.0015625: fitted within 0.00625\n"
         "m.svg:1:28: note: level 0, curve 0: 107 control points\n", "", {"m.svg": None}),
        ("ten million commands", {"long.svg": LONG_PATH}, "$T import long.svg | head -c 12", 0, "( 0 1 2 3 )\n",
         "long.svg:1:26: warning: path data stops at character 4000006 (more than 500000 segments): what came "
         "before is kept\n"
         "long.svg:1:26: warning: more path segments than an import reads: the rest is not read\n"
         "long.svg:1:26: note: level 0, curve 0: 4 control points\n"
         "long.svg:1:26: note: curve 0 of level 0 has points outside the -5..5 square: kept, but the editor can't pick "
         "them\nlong.svg" + ONE_CURVE, {"long.svg": None}),
    ] + [("import refusal", {}) + refusal("import " + words, why) + ({},) for words, why in (
        ("--tolerance 0 a.svg", "--tolerance takes a number of level units from 0.0001 to 1 (got \"0\")"),
        ("--tolerance x a.svg", "--tolerance takes a number of level units from 0.0001 to 1 (got \"x\")"),
        ("--tolerance 0.00009 a.svg", "--tolerance takes a number of level units from 0.0001 to 1 (got \"0.00009\"): "
         "a level file keeps four decimals, so no fit is finer"),
        ("--tolerance 1.0001 a.svg", "--tolerance takes a number of level units from 0.0001 to 1 (got \"1.0001\")"),
        ("--from xml a.svg", "--from takes svg or json (got \"xml\")"),
        ("--from svg --from json a.svg", "--from may be given only once"),
        ("a.svg --tolerance", "--tolerance needs a value: a number of level units from 0.0001 to 1"),
    )]


def run(tool, row):
    name, before, command, status, out, err, after = row
    with tempfile.TemporaryDirectory() as work:
        for file, data in before.items():
            with open(os.path.join(work, file), "wb") as f:
                f.write(data)
        got = subprocess.run(["sh", "-c", command], cwd=work, env=dict(os.environ, T=tool),
                             stdin=subprocess.DEVNULL, capture_output=True)
        problems = []
        if got.returncode != status:
            problems.append("exit %d, not %d" % (got.returncode, status))
        for stream, wanted, actual in (("stdout", out, got.stdout), ("stderr", err, got.stderr)):
            if actual != wanted.encode():
                problems.append("%s %r, not %r" % (stream, actual.decode(errors="replace"), wanted))
        present = set(os.listdir(work))
        for file, data in after.items():
            path = os.path.join(work, file)
            if data is None:  # not checked, may stay
                present.discard(file)
                continue
            if not os.path.exists(path):
                problems.append("%s is missing" % file)
                continue
            with open(path, "rb") as f:
                if f.read() != data:
                    problems.append("%s holds other bytes" % file)
        if present - set(after):
            problems.append("unexpected files %s" % sorted(present - set(after)))
        return ["%s (%s): %s" % (name, command, problem) for problem in problems]


def docs_problems(tool, root):
    def help_of(*words):
        return subprocess.run([tool] + list(words) + ["--help"], capture_output=True, check=True).stdout.decode()
    readme = open(os.path.join(root, "README.md")).read()
    manual = open(os.path.join(root, "docs", "ombrel-level.1")).read().replace("\\-", "-")
    problems = ["README lacks the usage line %r" % line for line in
                (line.replace("usage:", "").strip() for line in help_of().splitlines())
                if line.startswith("ombrel-level ") and line not in readme]
    for command in COMMANDS:
        for line in help_of(command).splitlines():
            if line.startswith("  -"):
                option = line.split()[0]
                problems += ["%s lacks %s %s" % (doc, command, option) for doc, text in
                             (("README", readme), ("ombrel-level.1", manual)) if option not in text]
    return problems


def main():
    table = rows() + import_rows() + hostile_rows()
    failures = [problem for row in table for problem in run(sys.argv[1], row)]
    failures += docs_problems(sys.argv[1], sys.argv[2])
    for failure in failures:
        print("FAIL:", failure)
    print("%d rows, %d failures" % (len(table), len(failures)))
    return 1 if failures else 0


sys.exit(main())
