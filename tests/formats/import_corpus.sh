#!/bin/sh
# Drawings written by a real drawing program, and our own samples of what
# drawing programs write, imported: each result checks clean, format leaves
# it as it is, and svgelements' reading of the drawing lies within the
# tolerance of what the editor draws from it, both ways.
#   import_corpus.sh TOOL SEEDS
set -u
tool=$1 seeds=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

sh "$here/inkscape_corpus.sh" "$work/drawings" >/dev/null || fail "Inkscape made no corpus"
# The export's own Béziers come back as their own points, drawn as the
# editor drew them before (the table checks those); the rest are fitted.
# Drawings made to run away, or to draw nothing, are the fuzzer's and the
# table's: svgelements would draw every use of a fan of uses, elements of
# other namespaces and shapes of size zero. Viewports, relative lengths and
# style sheets are checked against drawings resolved by hand
# (svg_features.py): svgelements reads some of them otherwise.
for seed in "$seeds"/*; do
    case $(basename "$seed") in
    export | export-ids-* | paths-too-long-* | use-of-itself | uses-fanning-out | long-style-and-href | \
        foreign-namespaces | transforms-of-size-zero | viewports-and-lengths | style-sheets | gzip) continue ;;
    esac
    cp "$seed" "$work/drawings/seed-$(basename "$seed").svg"
done
for drawing in "$work/drawings"/*.svg; do
    name=$(basename "$drawing" .svg)
    "$tool" import -o "$work/$name.lev" "$drawing" 2>"$work/$name.err"
    [ $? -le 1 ] || { fail "$name: import failed: $(cat "$work/$name.err")"; continue; }
    "$tool" check "$work/$name.lev" >"$work/out" || fail "$name: the import checks with $(cat "$work/out")"
    "$tool" format "$work/$name.lev" | cmp -s - "$work/$name.lev" || fail "$name: format changes the import"
    /usr/bin/python3 "$here/svg_fit_check.py" "$drawing" "$work/$name.lev" 0.0015625 >"$work/out" ||
        fail "$name: beyond the tolerance:
$(cat "$work/out")"
done
exit "$status"
