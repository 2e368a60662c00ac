#!/bin/sh
# Checks behind the level.* tests of ombrel-level; prints what is wrong and fails.
#   check.sh table TOOL CASES SEEDS   each CASES/NAME.expected is the exact `check`
#                                     output for CASES/NAME.lev, or else for the
#                                     fuzz seed SEEDS/NAME; NAME.formatted the exact
#                                     `format` output (with --lossy where it loses
#                                     points), NAME.svg, .obj, .json ... the exact
#                                     exports, each of which imports back as
#                                     the formatted file; every seed has its expected
#   check.sh table TOOL CASES SEEDS K N   only every N-th case from the K-th (1..N), so
#                                     that CTest runs the table in parallel parts
#   check.sh libraries TOOL           no GL, GLU or GLUT among the needed libraries
set -u

fail() {
    echo "FAIL: $*" >&2
    status=1
}

status=0
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# expect STATUS COMMAND...: runs it with stdout and stderr in $work/out, $work/err.
expect() {
    wanted=$1
    shift
    "$@" >"$work/out" 2>"$work/err"
    got=$?
    [ "$got" = "$wanted" ] || fail "$* exited $got, not $wanted: $(cat "$work/err")"
}

case "$1" in
table)
    cases=$3 seeds=$4 part=${5:-1} parts=${6:-1}
    if [ "$part" = 1 ]; then
        for seed in "$seeds"/*; do
            [ -e "$cases/$(basename "$seed").expected" ] || fail "seed $(basename "$seed") has no expected findings"
        done
    fi
    index=0
    for expected in "$cases"/*.expected; do
        index=$((index + 1))
        [ $(((index - part) % parts)) = 0 ] || continue
        name=$(basename "$expected" .expected)
        if [ -e "$cases/$name.lev" ]; then dir=$cases file=$name.lev; else dir=$seeds file=$name; fi
        grep -q ': error: ' "$expected" && lossy=--lossy wanted=1 || lossy="" wanted=0
        expect $wanted sh -c 'cd "$1" && "$2" check "$3"' - "$dir" "$tool" "$file"
        cmp -s "$work/out" "$expected" || fail "check $file:
$(diff "$expected" "$work/out")"
        # A reading that loses points is refused with check's findings,
        # and written only with --lossy.
        if [ -n "$lossy" ]; then
            expect 1 sh -c 'cd "$1" && "$2" format "$3"' - "$dir" "$tool" "$file"
            head -n -1 "$work/err" | cmp -s - "$expected" && [ ! -s "$work/out" ] ||
                fail "format $file is not refused with the findings: $(cat "$work/err")"
        fi
        # What format writes is what the editor writes: it reads back clean,
        # and formatting it again changes nothing.
        expect 0 "$tool" format $lossy "$dir/$file"
        cp "$work/out" "$work/formatted"
        if [ -e "$cases/$name.formatted" ]; then
            cmp -s "$work/formatted" "$cases/$name.formatted" || fail "format $file:
$(diff "$cases/$name.formatted" "$work/formatted")"
        fi
        # Every export's exact bytes, where the case gives them.
        for export in "svg --svg" "points.svg --svg --points" "polyline.svg --svg --polyline --samples 2" \
            "obj --obj" "json --json --samples 2"; do
            exported=$cases/$name.${export%% *}
            [ -e "$exported" ] || continue
            # shellcheck disable=SC2086
            expect 0 "$tool" export ${export#* } "$dir/$file"
            cmp -s "$work/out" "$exported" || fail "export ${export#* } $file:
$(diff "$exported" "$work/out")"
        done
        # Exports come back in: importing one writes what format writes (from
        # SVG but the sign of a zero an open curve's end points recover from
        # its Béziers, which can't tell -0 from 0).
        for from in json svg; do
            expect 0 sh -c '"$1" export --$2 "$3" | "$1" import -' - "$tool" $from "$dir/$file"
            cp "$work/formatted" "$work/wanted"
            [ $from = svg ] && sed -i 's/-0\.0000/0.0000/g' "$work/out" "$work/wanted"
            cmp -s "$work/out" "$work/wanted" || fail "export --$from $file | import:
$(diff "$work/wanted" "$work/out")"
        done
        expect 0 "$tool" check - <"$work/formatted"
        expect 0 "$tool" format - <"$work/formatted"
        cmp -s "$work/out" "$work/formatted" || fail "format of format $file differs"
    done
    ;;
libraries)
    needed=$(readelf -d "$tool" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    [ -n "$needed" ] || fail "readelf lists no needed libraries"
    if printf '%s\n' "$needed" | grep -Ei '^lib(GL|GLU|glut|GLX|OpenGL)[.-]'; then
        fail "ombrel-level needs a GL library"
    fi
    ;;
*)
    fail "unknown check $1"
    ;;
esac
exit "$status"
