#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the program's sources, two files at a
# time, with the compile commands of a configured build folder. Exits
# non-zero on any finding.
# usage: tools/tidy.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/tidy.sh BUILD_DIR}
[ -f "$build/compile_commands.json" ] || { echo "tidy: no $build/compile_commands.json" >&2; exit 1; }
# clang-tidy counts the warnings it was told to leave out ("N warnings
# generated"); only findings are worth showing.
git ls-files 'app/*.cpp' 'console/*.cpp' 'controls/*.cpp' 'form/*.cpp' 'relay/*.cpp' 'serial/*.cpp' \
    | xargs -P2 -n4 clang-tidy -p "$build" --quiet 2>&1 \
    | { grep -vE '^[0-9]+ warnings? generated\.$' || true; }
echo "tidy: clean"
