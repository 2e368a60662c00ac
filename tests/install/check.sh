#!/bin/sh
# Installs into PREFIX and checks the layout: the program, its man page and
# a desktop entry that starts the installed program.
#   check.sh CMAKE BUILD_DIR PREFIX
set -eu
cmake=$1 build=$2 prefix=$3
rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/ombrel-editor"
test -s "$prefix/share/man/man1/ombrel-editor.1"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$prefix/share/applications/ombrel-editor.desktop")
test -x "$prefix/bin/$exec_name"
