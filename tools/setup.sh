#!/bin/bash
# Installs what is missing, builds, and then either runs the program or the tests.
#   bash tools/setup.sh run    build and start the program (under Xvfb and openbox when there is no display)
#   bash tools/setup.sh test   build and run every test, also in an address/undefined sanitizer build,
#                              build the release type (the benchmarks') with the portable platform
#                              half and run the quick tests there, then replay and run the fuzz
#                              targets (tools/fuzz.sh)
#   bash tools/setup.sh test quick [portable]
#                              one build, every test but the kill test and the real windows; with
#                              "portable" the build uses the portable platform half (build-portable)
#   bash tools/setup.sh install [FOLDER]
#                              build a release and install it into FOLDER (default ~/TavrellQuillbox)
#                              with a menu entry for the current user (tools/install.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-run}"

build_packages=(cmake pkg-config g++ make qt6-base-dev qt6-svg-dev qt6-translations-l10n libsqlcipher-dev
                libjpeg62-turbo-dev libicu-dev libabsl-dev libtiff-dev libemf2svg-dev mdbtools-dev libzip-dev libssl-dev
                fonts-noto-cjk fonts-arphic-uming
                xvfb xauth openbox)
test_packages=(libgtest-dev libemf-dev sqlcipher sqlite3 clang libclang-rt-14-dev clang-format desktop-file-utils
               appstream mdbtools xdotool poppler-utils python3 libjpeg-turbo-progs unzip zip)

packages=("${build_packages[@]}")
[ "$mode" = test ] && packages+=("${test_packages[@]}")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The tests read Jet files with the npm package mdb-reader too; a node that
# brings its own npm (NodeSource) is used as it is.
if [ "$mode" = test ]; then
    command -v node >/dev/null || missing+=(nodejs)
    command -v npm >/dev/null || missing+=(npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs="$(nproc)"
case "$mode" in
run)
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQB_TESTS=OFF -DQB_BENCH=OFF
    cmake --build build -j"$jobs"
    if [ -z "${DISPLAY:-}" ]; then
        display=:97
        Xvfb "$display" -screen 0 1280x900x24 >/dev/null 2>&1 &
        xvfb_pid=$!
        sleep 1
        export DISPLAY="$display"
        # A window manager frames and places the windows as a desktop would.
        openbox >/dev/null 2>&1 &
        wm_pid=$!
        trap 'kill $wm_pid $xvfb_pid 2>/dev/null || true' EXIT
        sleep 0.5
        echo "No display: the program runs on Xvfb $display with the openbox window manager."
        echo "Screenshot: DISPLAY=$display import -window root shot.png (ImageMagick) or xwd -root -display $display"
    fi
    echo "The store and the picture folder live beside the program: build/bin/pj.db, build/bin/image"
    echo "First password: 583920"
    build/bin/TavrellQuillbox
    ;;
test)
    if [ "${2:-}" = quick ]; then
        # The developer's loop: one build, every test but the kill test and
        # the real windows; "portable" builds the platform half of Qt and
        # the standard library instead of Linux's.
        dir=build platform=linux
        [ "${3:-}" = portable ] && dir=build-portable platform=portable
        npm install --prefix "$dir/npm" --no-audit --no-fund --loglevel=error mdb-reader@3.2.0 >/dev/null
        cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQB_BENCH=OFF -DQB_PLATFORM="$platform"
        cmake --build "$dir" -j"$jobs"
        (cd "$dir" && ctest --output-on-failure -j"$jobs" -LE 'crash|realwindows')
        exit
    fi
    for dir in build build-bench build-asan; do
        npm install --prefix "$dir/npm" --no-audit --no-fund --loglevel=error mdb-reader@3.2.0 >/dev/null
    done
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j"$jobs"
    (cd build && ctest --output-on-failure -j"$jobs")
    # The benchmarks' build type, built whole once (tests and benchmarks
    # included) so that every build type the README names stays buildable,
    # with the portable platform half, whose quick tests run here: so every
    # fallback is compiled and tested on this machine too.
    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQB_PLATFORM=portable
    cmake --build build-bench -j"$jobs"
    (cd build-bench && ctest --output-on-failure -j"$jobs" -LE 'crash|realwindows')
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQB_SANITIZE=ON -DQB_BENCH=OFF
    cmake --build build-asan -j"$jobs"
    (cd build-asan && ctest --output-on-failure -j"$jobs")
    bash tools/fuzz.sh
    ;;
install)
    bash tools/install.sh "${2:-}"
    ;;
*)
    echo "usage: bash tools/setup.sh run | test [quick] | install [FOLDER]" >&2
    exit 2
    ;;
esac
