#!/bin/sh
# Installs into PREFIX and checks the layout: both programs, their man pages,
# which must render without warnings, the JSON schema where ombrel-level(1)
# says it is, a desktop entry that validates and whose launcher opens a level
# file, the level file type, its thumbnailer, the icon and the metainfo.
#   check.sh CMAKE BUILD_DIR PREFIX
set -eu
cmake=$1 build=$2 prefix=$3
rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for program in ombrel-editor ombrel-level; do
    test -x "$prefix/bin/$program"
    page="$prefix/share/man/man1/$program.1"
    test -s "$page"
    warnings=$(MANWIDTH=80 MANPAGER=cat man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$page: $warnings" >&2; exit 1; }
done
schema=share/ombrel-level/ombrel-level.schema.json
test -s "$prefix/$schema"
LC_ALL=C MANWIDTH=200 MANPAGER=cat man -l "$prefix/share/man/man1/ombrel-level.1" 2>/dev/null | grep -qF "$schema"
sh "$(dirname "$0")/desktop.sh" "$prefix"
