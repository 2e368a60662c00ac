#!/bin/sh
# Writes OUTDIR/*.svg: drawings saved by Inkscape 1.2 from its command line,
# shapes and text turned into paths, for `ombrel-level import` to read.
#   inkscape_corpus.sh OUTDIR
# Regular Inkscape SVG, not --export-plain-svg: plain SVG drops the
# inkscape:groupmode and inkscape:label that make layers into levels.
set -eu
[ $# = 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
out=$1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
NS='xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink"
  xmlns:inkscape="http://www.inkscape.org/namespaces/inkscape"'

# Every transform kind on nested groups, every basic shape; a hidden layer.
cat >"$work/transforms.svg" <<EOF
<svg $NS width="200mm" height="100mm" viewBox="0 0 200 100">
 <g inkscape:groupmode="layer" inkscape:label="Level 0" transform="translate(4,2)">
  <g transform="matrix(0.9,0.1,-0.2,0.8,10,5)">
   <g transform="translate(10 10) scale(1.5)">
    <rect x="0" y="0" width="20" height="12" rx="4" ry="2"/>
    <circle cx="35" cy="10" r="6"/>
   </g>
   <g transform="scale(1.2,0.7)"><ellipse cx="40" cy="80" rx="12" ry="5"/></g>
  </g>
  <g transform="rotate(30)"><line x1="80" y1="-20" x2="110" y2="10"/></g>
  <g transform="rotate(-20 150 50)"><polyline points="120,40 140,60 160,40 180,60"/></g>
 </g>
 <g inkscape:groupmode="layer" inkscape:label="Level 1">
  <g transform="skewX(25)"><polygon points="60,20 80,20 90,40 50,40"/>
   <g transform="skewY(-15)"><rect x="100" y="60" width="20" height="15" rx="5"/></g></g>
  <circle cx="170" cy="25" r="12" transform="scale(1,0.8) rotate(15 170 25)"/>
 </g>
 <g inkscape:groupmode="layer" inkscape:label="Level 2" style="display:none">
  <circle cx="100" cy="50" r="40"/>
 </g>
</svg>
EOF

# Path commands: arcs with both flags, quadratic and smooth ones, relative
# commands, repeated arguments, subpaths and a lone moveto; use of a path;
# the layers in the reverse of their numbers, shapes outside every layer.
cat >"$work/paths.svg" <<EOF
<svg $NS width="100" height="100" viewBox="-50 -50 100 100">
 <defs><path id="hook" d="m 0,0 c 5,-10 15,-10 20,0 s 15,10 20,0"/></defs>
 <path d="M -45,-45 h 10 v 10 z"/>
 <g inkscape:groupmode="layer" inkscape:label="Level 1">
  <path d="M -40,-30 A 10 6 30 0 0 -20,-30 A 10 6 30 0 1 0,-30 A 10 6 30 1 0 20,-30 A 10 6 30 1 1 40,-30"/>
  <path d="m -40,-10 a 8,8 0 1 1 16,0 8,8 0 1 1 -16,0 z m 25,0 a 5,9 -45 0 1 10,5"/>
  <use xlink:href="#hook" x="-20" y="15" transform="rotate(10)"/>
 </g>
 <g inkscape:groupmode="layer" inkscape:label="Level 0">
  <path d="M -40,10 Q -30,0 -20,10 T 0,10 T 20,10 q 5,5 10,0 t 10,0"/>
  <path d="M -40,30 C -35,20 -25,20 -20,30 S -5,40 0,30 c 2,-5 8,-5 10,0 s 8,5 10,0 l 5,5 5,-5 H 40 V 40 L -40,40"/>
  <path d="M 30,-45 M 35,-45"/>
  <use xlink:href="#hook" transform="translate(-30,-45) scale(0.5)"/>
 </g>
 <path d="M 45,45 l -5,-5"/>
</svg>
EOF

# Text, to be turned into glyph outlines in DejaVu fonts.
cat >"$work/text.svg" <<EOF
<svg $NS width="120mm" height="120mm" viewBox="0 0 120 120">
 <g inkscape:groupmode="layer" inkscape:label="Level 0">
  <text x="10" y="50" style="font-family:'DejaVu Sans';font-size:30px">Ombe</text>
 </g>
 <g inkscape:groupmode="layer" inkscape:label="Level 1">
  <text x="20" y="100" transform="rotate(-10 60 90)" style="font-family:'DejaVu Serif';font-size:24px;font-style:italic">lag</text>
 </g>
</svg>
EOF

# No layers, sizes in centimetres without a viewBox.
cat >"$work/nolayers.svg" <<EOF
<svg $NS width="12cm" height="8cm">
 <g transform="translate(200,150) rotate(45)">
  <rect x="-60" y="-40" width="120" height="80" rx="20"/>
  <g transform="scale(0.5) skewX(-20)"><circle cx="0" cy="0" r="60"/></g>
 </g>
 <path d="M 20,280 q 100,-80 200,0 t 200,0"/>
 <ellipse cx="380" cy="60" rx="40" ry="25" transform="rotate(-30 380 60)"/>
</svg>
EOF

# Layers not all named Level N, so file order; a sub-layer inside one; a
# layer hidden by attribute; shapes before the first layer and between.
cat >"$work/order.svg" <<EOF
<svg $NS width="50mm" height="80mm" viewBox="0 0 50 80">
 <circle cx="5" cy="5" r="3"/>
 <g inkscape:groupmode="layer" inkscape:label="Ground">
  <rect x="5" y="60" width="40" height="15"/>
  <g inkscape:groupmode="layer" inkscape:label="Level 7"><polygon points="10,50 40,50 25,35"/></g>
 </g>
 <polyline points="2,30 48,30"/>
 <g inkscape:groupmode="layer" inkscape:label="Level 0" display="none"><circle cx="25" cy="40" r="20"/></g>
 <g inkscape:groupmode="layer" inkscape:label="Level 5">
  <ellipse cx="25" cy="15" rx="15" ry="8"/>
 </g>
 <line x1="40" y1="2" x2="48" y2="10"/>
</svg>
EOF

# Inkscape without a display or the user's settings.
unset DISPLAY WAYLAND_DISPLAY
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# By element, not select-all: object-to-path would also unlink each use.
actions="select-by-selector:rect,circle,ellipse,line,polyline,polygon,text;object-to-path"

status=0
for source in "$work"/*.svg; do
    name=$(basename "$source")
    if ! inkscape --actions="$actions" --export-type=svg --export-filename="$out/$name" "$source" \
        >"$work/log" 2>&1; then
        echo "FAIL: inkscape on $name: $(cat "$work/log")" >&2
        status=1
        continue
    fi
    result=$out/$name
    problem=""
    grep -q '<path' "$result" || problem="no path"
    ! grep -Eq '<(rect|circle|ellipse|line|polyline|polygon|text)([ />]|$)' "$result" || problem="shapes left"
    layers=$(grep -c 'inkscape:groupmode="layer"' "$source" || true)
    [ "$(grep -c 'inkscape:groupmode="layer"' "$result" || true)" = "$layers" ] || problem="layers lost"
    [ "$(grep -c '<use' "$result" || true)" = "$(grep -c '<use' "$source" || true)" ] || problem="use lost"
    if [ -n "$problem" ]; then
        echo "FAIL: $name: $problem" >&2
        status=1
    else
        echo "$result"
    fi
done
exit $status
