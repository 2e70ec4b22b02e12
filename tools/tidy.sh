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
# The sources this build compiles: another platform's files (serial_line_win.cpp
# and the like) are left to that platform's build.
sources=$(python3 - "$build/compile_commands.json" "$PWD" <<'PY'
import json, re, sys
program = re.compile(re.escape(sys.argv[2]) + r"/(app|console|controls|form|relay|serial)/.*\.cpp$")
files = {entry["file"] for entry in json.load(open(sys.argv[1]))}
print("\n".join(sorted(f for f in files if program.match(f))))
PY
)
[ -n "$sources" ] || { echo "tidy: no program sources in $build/compile_commands.json" >&2; exit 1; }
printf '%s\n' "$sources" | xargs -P2 -n4 clang-tidy -p "$build" --quiet 2>&1 \
    | { grep -vE '^[0-9]+ warnings? generated\.$' || true; }
echo "tidy: clean"
