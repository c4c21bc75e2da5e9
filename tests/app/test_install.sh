#!/bin/bash
# The installed program: both executables side by side in a folder whose name
# needs quoting, a store and picture folder already there left untouched by a
# re-install, and a menu entry and metainfo that the desktop validators accept.
#   test_install.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

folder="$work/my \"receipts\" \$HOME 100%"
mkdir -p "$folder/image"
printf 'store' > "$folder/pj.db"
printf 'picture' > "$folder/image/00001.jpg"

for round in 1 2; do
    cmake --install "$build_dir" --prefix "$folder" >/dev/null
done
for exe in TavrellQuillbox tavrellquillbox-emf2svg tavrellquillbox-jetimport; do
    [ -x "$folder/$exe" ] || fail "$exe is not installed into the folder"
done
[ "$(cat "$folder/pj.db")" = store ] || fail "the install changed the store"
[ "$(cat "$folder/image/00001.jpg")" = picture ] || fail "the install changed a picture"
[ "$(ls "$folder/image")" = 00001.jpg ] || fail "the install changed the picture folder"

XDG_DATA_HOME="$work/data" bash "$source_dir/tools/install.sh" --menu-only "$folder" >/dev/null
app_id=com.example.TavrellQuillbox
entry="$work/data/applications/$app_id.desktop"
metainfo="$work/data/metainfo/$app_id.metainfo.xml"
for f in "$entry" "$metainfo" "$work/data/icons/hicolor/72x72/apps/$app_id.png" \
         "$work/data/icons/hicolor/256x256/apps/$app_id.png"; do
    [ -s "$f" ] || fail "missing $f"
done
grep -qx 'Exec="'"$work"'/my \\\\"receipts\\\\" \\\\$HOME 100%%/TavrellQuillbox"' "$entry" ||
    fail "the menu entry does not start the installed program: $(grep ^Exec= "$entry")"

if ! command -v desktop-file-validate >/dev/null || ! command -v appstreamcli >/dev/null; then
    echo "SKIP: desktop-file-validate or appstreamcli missing (packages desktop-file-utils, appstream)"
    exit 77
fi
desktop-file-validate "$entry" || fail "desktop-file-validate refuses the menu entry"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refuses the metainfo"
