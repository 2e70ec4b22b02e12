#!/usr/bin/env bash
# The program under a real window manager, openbox on Xvfb, with COM1 a
# pseudo-terminal and a lock folder of its own:
#   - the window, frame included, is centred on the screen (within 2 pixels);
#   - a maximize request through the window manager leaves it 529 x 365;
#   - SIGTERM, SIGHUP and SIGINT end it with status 0 and no lock file left;
#   - with no Chinese font at all it says which package to install, and runs;
#   - when the X server goes away, no lock file is left either.
# usage: test_desktop.sh PROGRAM      (exit status 77: cannot run here)
set -euo pipefail
program=$(realpath "$1")
cd "$(dirname "$0")/.."

readonly TITLE='RS-232串行通信测试程序'
readonly SCREEN_W=1280 SCREEN_H=1024

fail() {
    echo "test_desktop: FAILED: $*" >&2
    [ -f "$scratch/program.log" ] && sed 's/^/   | /' "$scratch/program.log" >&2
    exit 1
}

. tools/desktop_checks.sh
require_tools Xvfb xauth xdotool xwininfo xprop wmctrl openbox python3

. tools/desktop_session.sh
openbox_pid=''
trap '[ -z "$openbox_pid" ] || kill "$openbox_pid" 2>/dev/null || true; cleanup' EXIT
use_own_folders

start_xvfb
start_echoing_board
openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
openbox_pid=$!
for _ in $(seq 50); do
    wmctrl -m >/dev/null 2>&1 && break
    sleep 0.1
done
wmctrl -m >/dev/null 2>&1 || fail "openbox did not start"

# Starts the program and leaves its window's id in $window once it is mapped
# and framed.
run_program() {
    start_with_stand_in_ports "$pty" "$program"
    wait_for_framed_window "$TITLE"
}

# Sends signal $1 and expects exit status $2 and no lock file.
end_with() {
    kill -s "$1" "$program_pid"
    local status=0
    wait "$program_pid" || status=$?
    program_pid=''
    [ "$status" -eq "$2" ] || fail "after $1 the exit status is $status, not $2"
    [ ! -e "$lock_file" ] || fail "after $1 the lock file $lock_file is left"
    echo "   $1: exit status $status, no lock file"
}

echo "-- placement and maximize"
run_program
[ -e "$lock_file" ] || fail "COM1 was not opened (no $lock_file)"
measure
echo "   client ${cw}x${ch}, frame ${fw}x${fh} at $fx,$fy on ${SCREEN_W}x${SCREEN_H}"
[ "${cw}x${ch}" = 529x365 ] || fail "the client is ${cw}x${ch}"
dx=$((2 * fx + fw - SCREEN_W)) dy=$((2 * fy + fh - SCREEN_H))
[ "${dx#-}" -le 4 ] && [ "${dy#-}" -le 4 ] \
    || fail "the frame's centre is off by $((dx / 2)),$((dy / 2)) px"
wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
sleep 1
measure
[ "${cw}x${ch}" = 529x365 ] || fail "after a maximize request the client is ${cw}x${ch}"
! xprop -id "$window" _NET_WM_STATE | grep -q MAXIMIZED || fail "the window is marked maximized"
echo "   after a maximize request: client ${cw}x${ch}, not maximized"

echo "-- signals"
end_with TERM 0
run_program
end_with HUP 0
# With no fonts at all: the hint on standard error, and the window all the same.
printf '<?xml version="1.0"?>\n<fontconfig><dir>%s</dir></fontconfig>\n' "$scratch/nofonts" \
    >"$scratch/nofonts.conf"
FONTCONFIG_FILE=$scratch/nofonts.conf run_program
grep -q 'fonts-wqy-microhei' "$scratch/program.log" || fail "no hint to install a Chinese font"
echo "   without fonts: $(grep 'fonts-wqy-microhei' "$scratch/program.log")"
end_with INT 0

echo "-- the X server goes away"
run_program
kill "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
xvfb_pid=''
status=0
wait "$program_pid" || status=$?
program_pid=''
[ ! -e "$lock_file" ] || fail "the lock file is left after the X connection broke"
grep -q "X11 connection broke" "$scratch/program.log" || fail "the program did not see the X connection break"
echo "   exit status $status, no lock file"
echo "-- desktop: OK"
