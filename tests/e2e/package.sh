#!/usr/bin/env bash
# The Debian package, built by scripts/package and taken apart: lintian finds
# no error or warning (but that a package no one uploaded closes no bugs),
# the desktop entry and metainfo validate, the file type reaches *.lev, each
# program starts, the thumbnailer's own Exec line draws each example at the
# asked size, and apt resolves its dependencies.
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
desktop-file-validate "$unpacked/usr/share/applications/ombrel-editor.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/org.ombrel.Editor.metainfo.xml" >/dev/null
update-mime-database "$unpacked/usr/share/mime"
grep -qx '50:application/x-ombrel-level:\*\.lev' "$unpacked/usr/share/mime/globs2"
[ "$("$unpacked/usr/bin/ombrel-level" --version)" = "ombrel-level 1.0" ]
# The editor has no --version: it must start under Xvfb and still run when stopped.
status=0
xvfb-run -a timeout 3 "$unpacked/usr/bin/ombrel-editor" </dev/null >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ]
exec_line=$(sed -n 's/^Exec=//p' "$unpacked/usr/share/thumbnailers/ombrel-level.thumbnailer")
for example in "$root"/examples/*.lev; do
    command=$(printf '%s\n' "$exec_line" | sed "s|%s|96|; s|%o|$work/thumb.png|; s|%i|$example|")
    PATH="$unpacked/usr/bin:$PATH" sh -c "$command"
    [ "$(identify -format '%w %h' "$work/thumb.png")" = "96 96" ]
done
apt-get install --simulate "$deb" >/dev/null
echo "$(basename "$deb"): checked"
