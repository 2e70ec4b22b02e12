#!/usr/bin/env bash
# Each layer includes only its own folder and the layers below it: the serial
# control knows no widgets and no handlers, the controls know no serial port.
set -u
cd "$(dirname "$0")/.."
status=0
# usage: check FILES... -- ALLOWED_FOLDER...
check() {
    local files=() allowed=()
    while [ "$1" != "--" ]; do files+=("$1"); shift; done
    shift
    allowed=("$@")
    local pattern
    pattern=$(printf '%s|' "${allowed[@]}")
    local bad
    bad=$(grep -nE '^#include "' "${files[@]}" | grep -vE "#include \"(${pattern%|})/" || true)
    if [ -n "$bad" ]; then
        echo "includes across layers:"
        echo "$bad"
        status=1
    fi
    bad=$(grep -nE '^#include <Q(Widget|Application|Painter|MessageBox|Accessible)' "${files[@]}" || true)
    if [ "${allowed[*]}" = "serial" ] && [ -n "$bad" ]; then
        echo "GUI includes in the serial control:"
        echo "$bad"
        status=1
    fi
}
serial_files=$(ls serial/*.cpp serial/*.h | grep -v port_opening)
check $serial_files -- serial
check controls/*.cpp controls/*.h -- controls
[ "$status" -eq 0 ] && echo "layers: serial/ and controls/ include only themselves"
exit "$status"
