#!/usr/bin/env bash
# Builds Qt's qtbase 6.4.2 for 64-bit Windows with mingw-w64, from Debian's
# source package, once, into a cache outside the checkout. Run by build.sh.
#   RS232_QT_WINDOWS   where the built Qt goes
#                      (default ~/.cache/rs232test/qt-6.4.2-mingw64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
qt_prefix=${RS232_QT_WINDOWS:-$HOME/.cache/rs232test/qt-6.4.2-mingw64}
work=${qt_prefix}.work
stamp=$qt_prefix/.built

if [ -f "$stamp" ]; then
    echo "Qt for Windows: cached in $qt_prefix"
    exit 0
fi

echo "Qt for Windows: not cached yet. Building qtbase 6.4.2 with mingw-w64 into"
echo "  $qt_prefix"
echo "This happens once and takes about half an hour on two cores."

# Debian's source of qtbase: needs a deb-src line for bookworm main on the
# mirror the machine already uses.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
    src=/etc/apt/sources.list.d/rs232test-deb-src.sources
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null ||
        true)
    [ -n "$mirror" ] || mirror=$(awk '/^deb / {print $2; exit}' /etc/apt/sources.list)
    echo "Adding a source entry for $mirror bookworm main ($src)"
    printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: %s\n' \
        "$mirror" /usr/share/keyrings/debian-archive-keyring.gpg >"$src"
    apt-get update -qq
fi

mkdir -p "$work"
cd "$work"
if [ ! -d qtbase ]; then
    rm -rf src && mkdir src
    (cd src && { apt-get source --download-only qt6-base=6.4.2+dfsg-10 2>/dev/null ||
        apt-get source --download-only qt6-base; })
    orig=$(find src -name 'qt6-base_*.orig.tar.*' | head -n 1)
    rm -rf qtbase.tmp && mkdir qtbase.tmp
    tar -xf "$orig" -C qtbase.tmp --strip-components=1
    mv qtbase.tmp qtbase
fi

# Qt 6.4.2's windows platform plugin uses its OpenGL context in code kept only
# for dynamic OpenGL, which is on even without OpenGL: keep that code for
# builds with OpenGL. (Idempotent: the patched line no longer matches.)
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    qtbase/src/plugins/platforms/windows/qwindowswindow.cpp

# Qt's build records the toolchain file's path: a copy of its own in the work
# folder keeps a resumed build working when the checkout moves.
cmp -s "$here/mingw-toolchain.cmake" mingw-toolchain.cmake \
    || cp "$here/mingw-toolchain.cmake" mingw-toolchain.cmake

# The platform plugin's font database is compiled only with direct2d, so it
# stays on; Debian's source has no wintab folder, so no tablet events.
cmake -G Ninja -S qtbase -B build \
    -DCMAKE_TOOLCHAIN_FILE="$work/mingw-toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_icu=OFF -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
    -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=ON \
    -DFEATURE_testlib=ON -DFEATURE_gui=ON -DFEATURE_widgets=ON \
    -DFEATURE_png=ON -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_zstd=OFF
echo "Compiling Qt (progress as [done/total]):"
cmake --build build --parallel "$(nproc)"
cmake --install build >/dev/null
touch "$stamp"
echo "Qt for Windows: built into $qt_prefix"
