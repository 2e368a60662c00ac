#!/bin/sh
# Drawings no one here wrote, imported at the default tolerance: the scalable
# icons of Debian's adwaita-icon-theme and the drawings among Inkscape's
# examples (gzipped ones unpacked). Each import must be within the tolerance
# of svgelements' reading of the drawing, both ways, as the editor draws it
# and as the export draws it (exact Béziers). Prints one line per drawing
# and the figures at the end; exits 1 when any drawing is beyond.
#   real_corpus.sh TOOL [EVERY]     EVERY: only every EVERY-th drawing (a sample)
# Drawings svgelements reads differently from SVG as browsers draw it are
# listed in real_corpus.known, with why; they are reported, not failed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
tolerance=0.0015625

# One drawing: its result line.
if [ "$1" = --one ]; then
    tool=$2 drawing=$3
    name=$(basename "$drawing")
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    svg=$work/drawing.svg
    case $drawing in *.svgz) gzip -dc "$drawing" >"$svg" ;; *) cp "$drawing" "$svg" ;; esac
    "$tool" import -o "$work/out.lev" "$svg" 2>"$work/err"
    if [ $? -ge 2 ]; then
        echo "refused $name: $(head -1 "$work/err")"
        exit 0
    elif [ ! -f "$work/out.lev" ]; then
        echo "empty $name: $(grep -m 1 'nothing to import' "$work/err")"
        exit 0
    fi
    count=$(sed -n 's/.*: \([0-9]*\) control points.*/\1/p' "$work/err" | awk '{s += $1} END {print s + 0}')
    worst=""
    for mode in "" --exact; do
        /usr/bin/python3 "$here/svg_fit_check.py" $mode "$svg" "$work/out.lev" "$tolerance" >"$work/check" 2>&1 ||
            worst="$worst ${mode:-drawn}: $(grep -v '^level [0-9]*: worst' "$work/check" | head -1)"
    done
    if [ -z "$worst" ]; then
        echo "within $name: $count points"
    elif grep -qx "$name" "$here/real_corpus.known" 2>/dev/null; then
        echo "known $name: $count points;$worst"
    else
        echo "BEYOND $name: $count points;$worst"
    fi
    exit 0
fi

tool=$1 every=${2:-1}
results=$(mktemp)
trap 'rm -f "$results"' EXIT
for drawing in /usr/share/icons/Adwaita/scalable/*/*.svg /usr/share/inkscape/examples/*.svg \
    /usr/share/inkscape/examples/*.svgz; do
    [ -f "$drawing" ] && echo "$drawing"
done | awk -v every="$every" '(NR - 1) % every == 0' |
    xargs -n 1 -P "$(nproc)" sh "$0" --one "$tool" | tee "$results"
count() { grep -c "^$1 " "$results"; }
echo "drawings $(wc -l <"$results"): within $(count within), beyond $(count BEYOND)," \
    "known to svgelements' reading $(count known), refused $(count refused), nothing to import $(count empty);" \
    "control points $(sed -n 's/.*: \([0-9]*\) points.*/\1/p' "$results" | awk '{s += $1} END {print s + 0}')"
[ "$(count BEYOND)" = 0 ]
