#!/usr/bin/env bash
# Builds the Windows program on Debian 12 and packs it: a ZIP and an NSIS installer.
#
# Installs what it needs, builds Qt's qtbase for mingw-w64 once into a cache
# outside the checkout (build_qt.sh; RS232_QT_WINDOWS names another place),
# then cross-builds the program and its Windows tests in build-windows/ and
# packs it there with CPack:
#   build-windows/rs232test-<version>-win64.zip
#   build-windows/rs232test-<version>-win64-setup.exe
# tools/windows/test.sh then tests both under wine. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/../.."

qt_prefix=${RS232_QT_WINDOWS:-$HOME/.cache/rs232test/qt-6.4.2-mingw64}
readonly BUILD_DIR=build-windows
# The cross compiler, wine for the tests, the build tools, dpkg-dev for
# fetching Qt's source, makensis and zip for the packages, and the Linux Qt's
# tools (moc, rcc, uic), which the Windows Qt build and this one run.
readonly WINDOWS_BUILD_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 cmake ninja-build
                                 dpkg-dev nsis zip qt6-base-dev qt6-base-dev-tools)

started=$SECONDS
if [ ! -f "$qt_prefix/.built" ]; then
    echo "Note: this first run builds Qt for Windows (qtbase 6.4.2) into $qt_prefix:"
    echo "about half an hour on two cores. Later runs reuse it and take a few minutes."
fi

. tools/packages.sh
ensure_packages "${WINDOWS_BUILD_PACKAGES[@]}"

echo "== Qt for Windows"
tools/windows/build_qt.sh
qt_done=$SECONDS

echo "== configure ($BUILD_DIR/, Release, mingw-w64)"
mkdir -p "$BUILD_DIR"
cmake -G Ninja -S . -B "$BUILD_DIR" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/tools/windows/mingw-toolchain.cmake" \
    -DCMAKE_PREFIX_PATH="$qt_prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >"$BUILD_DIR/configure.log" 2>&1 \
    || { cat "$BUILD_DIR/configure.log"; exit 1; }

echo "== build"
cmake --build "$BUILD_DIR" --parallel "$(nproc)"

echo "== package (CPack: ZIP and NSIS)"
rm -f "$BUILD_DIR"/rs232test-*-win64.zip "$BUILD_DIR"/rs232test-*-win64-setup.exe
(cd "$BUILD_DIR" && cpack) >"$BUILD_DIR/cpack.log" 2>&1 || { cat "$BUILD_DIR/cpack.log"; exit 1; }

echo "== done in $((SECONDS - started)) s (Qt: $((qt_done - started)) s)"
for artefact in "$BUILD_DIR"/rs232test-*-win64.zip "$BUILD_DIR"/rs232test-*-win64-setup.exe; do
    [ -f "$artefact" ] || { echo "missing: $artefact" >&2; exit 1; }
    printf '%s  %s bytes (%s)\n' "$PWD/$artefact" "$(stat -c %s "$artefact")" \
        "$(du -h "$artefact" | cut -f1)"
done
