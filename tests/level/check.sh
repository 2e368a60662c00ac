#!/bin/sh
# Checks behind the level.* tests of ombrel-level; prints what is wrong and fails.
#   check.sh table TOOL CASES SEEDS   each CASES/NAME.expected is the exact `check`
#                                     output for CASES/NAME.lev, or else for the
#                                     fuzz seed SEEDS/NAME; NAME.formatted the exact
#                                     `format` output; every seed has its expected
#   check.sh cli TOOL CASES           options, standard streams and exit status
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
    cases=$3 seeds=$4
    for seed in "$seeds"/*; do
        [ -e "$cases/$(basename "$seed").expected" ] || fail "seed $(basename "$seed") has no expected findings"
    done
    for expected in "$cases"/*.expected; do
        name=$(basename "$expected" .expected)
        if [ -e "$cases/$name.lev" ]; then dir=$cases file=$name.lev; else dir=$seeds file=$name; fi
        [ -s "$expected" ] && wanted=1 || wanted=0
        expect $wanted sh -c 'cd "$1" && "$2" check "$3"' - "$dir" "$tool" "$file"
        cmp -s "$work/out" "$expected" || fail "check $file:
$(diff "$expected" "$work/out")"
        # What format writes is what the editor writes: it reads back clean,
        # and formatting it again changes nothing.
        expect 0 "$tool" format "$dir/$file"
        cp "$work/out" "$work/formatted"
        if [ -e "$cases/$name.formatted" ]; then
            cmp -s "$work/formatted" "$cases/$name.formatted" || fail "format $file:
$(diff "$cases/$name.formatted" "$work/formatted")"
        fi
        expect 0 "$tool" check - <"$work/formatted"
        expect 0 "$tool" format - <"$work/formatted"
        cmp -s "$work/out" "$work/formatted" || fail "format of format $file differs"
    done
    ;;
cli)
    cases=$3
    clean=$cases/point-lines-in-any-order.lev
    dirty=$cases/z-comes-from-the-section.lev
    for arguments in "" "bogus" "check" "check $clean --bogus" "format" "format $clean $clean" "format -o" \
        "format -o x -o y $clean" "export $clean"; do
        # shellcheck disable=SC2086
        expect 2 "$tool" $arguments
        [ -s "$work/err" ] && [ ! -s "$work/out" ] || fail "'$arguments': usage not on standard error alone"
    done
    expect 0 "$tool" --help
    grep -q '^usage: ombrel-level check FILE' "$work/out" || fail "--help prints no usage"
    expect 0 "$tool" --version
    grep -qx 'ombrel-level [0-9.]*' "$work/out" || fail "--version prints $(cat "$work/out")"
    expect 0 "$tool" check "$clean"
    [ ! -s "$work/out" ] || fail "a clean file gives output"
    expect 1 "$tool" check "$clean" - <"$dirty"
    grep -q '^-:2:1: z is 7' "$work/out" || fail "standard input is not named -"
    expect 2 "$tool" check "$dirty" "$work/missing.lev"
    grep -q "^ombrel-level: can't open $work/missing.lev: " "$work/err" || fail "missing file: $(cat "$work/err")"
    grep -q ':2:1: z is 7' "$work/out" || fail "a missing file stops the other checks"
    expect 2 "$tool" check "$work"
    grep -q "^ombrel-level: can't read $work: " "$work/err" || fail "directory: $(cat "$work/err")"
    # -o saves as the editor's F1 does; its failures go to standard error.
    expect 0 "$tool" format -o "$work/saved.lev" "$dirty"
    [ ! -s "$work/out" ] || fail "format -o writes to standard output"
    expect 0 "$tool" format "$dirty"
    cmp -s "$work/out" "$work/saved.lev" || fail "format -o OUT and format differ"
    expect 2 "$tool" format -o "$work/no/such/dir.lev" "$dirty"
    grep -qx "ombrel-level: can't open $work/no/such/dir.lev" "$work/err" && [ ! -s "$work/out" ] ||
        fail "failed save: out '$(cat "$work/out")' err '$(cat "$work/err")'"
    if [ -w /dev/full ]; then
        "$tool" format "$dirty" >/dev/full 2>"$work/err"
        [ $? = 2 ] && grep -q "^ombrel-level: can't write -" "$work/err" || fail "a full standard output is not an error"
    fi
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
