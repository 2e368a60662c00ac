#!/usr/bin/env bash
# The Debian package, built by scripts/package and taken apart: lintian finds
# no error or warning (but that a package no one uploaded closes no bugs),
# what a desktop reads of it holds (tests/install/desktop.sh), each program
# starts, and apt resolves its dependencies.
#   package.sh SOURCE_DIR WORK_DIR
set -euo pipefail
root=$1 work=$2
mkdir -p "$work"
rm -f "$work"/ombrel-editor_*.deb
deb=$("$root/scripts/package" "$work" | tail -1)
lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb" 2>/dev/null
unpacked=$work/root
rm -rf "$unpacked"
dpkg-deb -x "$deb" "$unpacked"
sh "$root/tests/install/desktop.sh" "$unpacked/usr"
[ "$("$unpacked/usr/bin/ombrel-level" --version)" = "ombrel-level 1.0" ]
# The editor has no --version: it must start under Xvfb and still run when stopped.
status=0
xvfb-run -a timeout 3 "$unpacked/usr/bin/ombrel-editor" </dev/null >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ]
apt-get install --simulate "$deb" >/dev/null
echo "$(basename "$deb"): checked"
