#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, checks the formatting and runs every test.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. tools/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" xvfb xauth xdotool x11-utils clang-format

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== build (ASan + UBSan)"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DRS232_SANITIZE=ON >/dev/null
cmake --build build-test -j"$(nproc)"

echo "== tests"
cd build-test
ctest --output-on-failure --timeout 600
