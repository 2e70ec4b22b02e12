#!/usr/bin/env bash
# Installs what is missing, checks the formatting, replays the receive path's
# fuzz inputs, checks the installed and packaged program, then builds everything
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test;
# then, once Qt for Windows is built (tools/windows/build.sh), builds the
# Windows program and tests it under wine. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. tools/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== replaying the fuzz corpus and regressions (a fuzzing run: tools/fuzz.sh)"
tools/fuzz.sh replay

echo "== install and package"
tools/check_package.sh

echo "== build (ASan + UBSan)"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DRS232_SANITIZE=ON \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build-test -j"$(nproc)"

echo "== static analysis (clang-tidy, .clang-tidy)"
tools/tidy.sh build-test

echo "== tests"
cd build-test
ctest --output-on-failure --timeout 600
cd ..

echo "== Windows build under wine"
if [ -f "${RS232_QT_WINDOWS:-$HOME/.cache/rs232test/qt-6.4.2-mingw64}/.built" ]; then
    tools/windows/build.sh
    tools/windows/test.sh
else
    echo "Windows build not tested: run tools/windows/build.sh once (builds Qt for Windows, about half an hour) to enable it."
fi
