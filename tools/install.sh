#!/bin/bash
# Builds a release and installs the program with its two converters into a
# folder the user can write: the store pj.db and the picture folder image live
# beside the program. Then adds, for the current user, a menu entry, the
# program icon and the AppStream metainfo (XDG data folder, ~/.local/share).
#   bash tools/install.sh [FOLDER]             FOLDER defaults to ~/TavrellQuillbox
#   bash tools/install.sh --menu-only FOLDER   only the menu entry, icon and metainfo for a
#                                              program already in FOLDER
# A re-install replaces the three executables only; an existing store and
# picture folder in FOLDER are left as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
shopt -u patsub_replacement 2>/dev/null || true

app_id=com.example.TavrellQuillbox
menu_only=0
if [ "${1:-}" = --menu-only ]; then
    menu_only=1
    shift
fi
folder="${1:-$HOME/TavrellQuillbox}"
data_home="${XDG_DATA_HOME:-$HOME/.local/share}"

mkdir -p "$folder"
folder="$(cd "$folder" && pwd)"
if [ ! -w "$folder" ]; then
    echo "install: $folder cannot be written; the program keeps its store there" >&2
    exit 1
fi

if [ "$menu_only" = 0 ]; then
    cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQB_TESTS=OFF -DQB_BENCH=OFF
    cmake --build build-release -j"$(nproc)"
    cmake --install build-release --prefix "$folder" --strip
fi

# An Exec value is a quoted argument inside a desktop-file string: the quoting
# rules first, then the string's own backslash escape.
exec_argument() {
    local s=$1
    s=${s//\\/\\\\}
    s=${s//\"/\\\"}
    s=${s//\`/\\\`}
    s=${s//\$/\\\$}
    s=${s//%/%%}
    s="\"$s\""
    printf '%s' "${s//\\/\\\\}"
}
desktop_string() {
    local s=$1
    printf '%s' "${s//\\/\\\\}"
}
xml_text() {
    local s=$1
    s=${s//&/&amp;}
    s=${s//</&lt;}
    printf '%s' "${s//>/&gt;}"
}

version="$(sed -n 's/^project(TavrellQuillbox VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
today="$(date -u +%F)"

mkdir -p "$data_home/applications" "$data_home/metainfo" \
         "$data_home/icons/hicolor/72x72/apps" "$data_home/icons/hicolor/256x256/apps"

entry="$(<dist/TavrellQuillbox.desktop.in)"
entry=${entry//@APP_ID@/$app_id}
entry=${entry//@PROGRAM@/$(exec_argument "$folder/TavrellQuillbox")}
entry=${entry//@FOLDER@/$(desktop_string "$folder")}
printf '%s\n' "$entry" > "$data_home/applications/$app_id.desktop"

metainfo="$(<dist/TavrellQuillbox.metainfo.xml.in)"
metainfo=${metainfo//@APP_ID@/$(xml_text "$app_id")}
metainfo=${metainfo//@VERSION@/$(xml_text "$version")}
metainfo=${metainfo//@DATE@/$today}
printf '%s\n' "$metainfo" > "$data_home/metainfo/$app_id.metainfo.xml"

install -m 644 assets/icon.png "$data_home/icons/hicolor/72x72/apps/$app_id.png"
install -m 644 assets/icon-256.png "$data_home/icons/hicolor/256x256/apps/$app_id.png"

# Menus and icon themes read caches where they exist; a missing tool only
# means the menu picks the entry up at the next log-in.
command -v update-desktop-database >/dev/null && update-desktop-database -q "$data_home/applications" || true
command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t "$data_home/icons/hicolor" || true

echo "Installed: $folder/TavrellQuillbox (store and pictures: $folder/pj.db, $folder/image)"
echo "Menu entry: $data_home/applications/$app_id.desktop"
