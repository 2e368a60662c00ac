#!/bin/sh
# What a desktop reads of an installed tree (PREFIX: an install prefix, or
# the usr/ of an unpacked package): a desktop entry that validates and whose
# launcher opens a level file, the level file type, the metainfo, the icon,
# and the thumbnailer's own Exec line drawing each example.
#   desktop.sh PREFIX
set -eu
prefix=$1
entry="$prefix/share/applications/ombrel-editor.desktop"
desktop-file-validate "$entry"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
test -x "$prefix/bin/$exec_name"
# The launcher opens a level file given to it for editing, F1 saving back to
# it, and starts the editor bare without one (an editor that prints its
# arguments stands in for the real one).
stub=$(mktemp -d)
trap 'rm -rf "$stub"' EXIT
printf '#!/bin/sh\necho "$#:$*"\n' >"$stub/ombrel-editor"
chmod +x "$stub/ombrel-editor"
[ "$(PATH="$stub:$PATH" "$prefix/bin/$exec_name" "my layout.lev")" = "4:-i my layout.lev -o my layout.lev" ]
[ "$(PATH="$stub:$PATH" "$prefix/bin/$exec_name")" = "0:" ]
grep -qx 'MimeType=application/x-ombrel-level;' "$entry"
# The level file type: file managers find *.lev as it once the database is made.
update-mime-database "$prefix/share/mime"
grep -qx '50:application/x-ombrel-level:\*\.lev' "$prefix/share/mime/globs2"
# AppStream metainfo, and the icon the entry names.
appstreamcli validate --no-net "$prefix/share/metainfo/org.ombrel.Editor.metainfo.xml" >/dev/null
test -s "$prefix/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$entry").svg"
# The thumbnailer's own Exec line makes a picture of the asked size of each example.
thumbnailer="$prefix/share/thumbnailers/ombrel-level.thumbnailer"
exec_line=$(sed -n 's/^Exec=//p' "$thumbnailer")
for example in "$(dirname "$0")"/../../examples/*.lev; do
    command=$(printf '%s\n' "$exec_line" | sed "s|%s|128|; s|%o|$stub/thumb.png|; s|%i|$example|")
    PATH="$prefix/bin:$PATH" sh -c "$command"
    [ "$(identify -format '%w %h' "$stub/thumb.png")" = "128 128" ]
done
