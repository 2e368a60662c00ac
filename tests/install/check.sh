#!/bin/sh
# Checks behind the install.* tests; prints what is wrong and fails.
#   check.sh layout CMAKE BUILD_DIR PREFIX SOURCE_DIR
#   check.sh manpage MAN_PAGE         (ombrel-editor.1 or ombrel-level.1)
#   check.sh desktop DESKTOP_FILE
set -u

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

case "$1" in
layout)
    cmake=$2 build=$3 prefix=$4 source=$5
    rm -rf "$prefix"
    "$cmake" --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
    for program in ombrel-editor ombrel-level; do
        [ -x "$prefix/bin/$program" ] || fail "bin/$program missing or not executable"
        cmp -s "$source/docs/$program.1" "$prefix/share/man/man1/$program.1" ||
            fail "share/man/man1/$program.1 missing or differs from docs/$program.1"
    done
    cmp -s "$source/data/ombrel-editor.desktop" "$prefix/share/applications/ombrel-editor.desktop" ||
        fail "share/applications/ombrel-editor.desktop missing or differs from data/ombrel-editor.desktop"
    # The desktop entry starts the program by the name that was installed.
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$prefix/share/applications/ombrel-editor.desktop")
    [ -x "$prefix/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
    ;;
manpage)
    page=$2
    warnings=$(MANWIDTH=80 MANPAGER=cat man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man reports: $warnings"
    text=$(MANWIDTH=80 MANPAGER=cat man -l "$page" 2>/dev/null) || fail "man -l failed"
    [ -n "$text" ] || fail "man page renders empty"
    if [ "$(basename "$page")" = ombrel-level.1 ]; then
        headings="NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS FINDINGS FILES EXIT_STATUS EXAMPLES"
        # Every command and option of the usage text.
        set -- "ombrel-level check file ..." "ombrel-level format [-o out] file" "--svg | --obj | --json" \
            "[--samples n]" "[--polyline]" "[--points]" "--help | --version"
    else
        headings="NAME SYNOPSIS DESCRIPTION OPTIONS MOUSE KEYS DISPLAY LEVEL_FILE_FORMAT FILES DIAGNOSTICS EXIT_STATUS"
        # The console texts users will search for must appear as printed.
        set -- "Output filename:" "Input filename:" "Can't open" "Can't write" \
            "Curve number:" ".ombrel-save-XXXXXX" "ombrel-editor [-i input-file] [-o output-file]"
    fi
    for heading in $headings; do
        heading=$(printf '%s' "$heading" | tr _ ' ')
        printf '%s\n' "$text" | grep -qx "$heading" || fail "no section $heading"
    done
    for message in "$@"; do
        printf '%s\n' "$text" | grep -qF -- "$message" || fail "man page lacks \"$message\""
    done
    ;;
desktop)
    output=$(desktop-file-validate "$2" 2>&1) || fail "desktop-file-validate: $output"
    [ -z "$output" ] || fail "desktop-file-validate: $output"
    ;;
*)
    fail "unknown check $1"
    ;;
esac
