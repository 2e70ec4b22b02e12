#!/usr/bin/env bash
# The real program with a board that is unplugged and plugged back, on Xvfb
# with a D-Bus session and accessibility bus of its own, COM1 (/dev/ttyS0 in a
# private mount namespace, over a /dev/null stand-in, with a lock folder of
# its own) a pseudo-terminal whose far end echoes. The board hangs up and its
# node goes (the stand-in is uncovered); 3 s later a new board appears at the
# same node. Checks that the status line says the port was lost, then opened
# again with no choice made in the list; that keys typed then reach the new
# board; and that the program takes under 1 % of a core while the board is
# away. Prints how long the reopening took.
# usage: test_replug.sh PROGRAM      (exit status 77: cannot run here)
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)

readonly OPENED='串口COM1打开成功！ 波特率：9600bps' LOST='串口COM1已断开！'
readonly AWAY_S=3 MAX_AWAY_CPU_PERCENT=1

fail() {
    echo "test_replug: FAILED: $*" >&2
    [ -f "${scratch:-}/program.log" ] && sed 's/^/   | /' "$scratch/program.log" >&2
    exit 1
}

. "$here/../tools/desktop_checks.sh"
require_tools Xvfb xauth xdotool python3 nsenter dbus-run-session
[ "$(id -u)" -eq 0 ] || { echo "skipped: changing the program's mounts needs root"; exit 77; }
[ -c /dev/ttyS0 ] || { echo "skipped: no /dev/ttyS0 for COM1 to stand in for"; exit 77; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: no python3-pyatspi"; exit 77; }

# Everything below runs on a D-Bus session bus of its own.
if [ -z "${RS232_REPLUG_TEST_BUS:-}" ]; then
    export RS232_REPLUG_TEST_BUS=1
    exec dbus-run-session -- "$here/$(basename "$0")" "$program"
fi

. "$here/../tools/desktop_session.sh"
use_own_folders
start_xvfb
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null || fail "the accessibility bus (at-spi2-core) did not start"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# The status line as a screen reader reads it.
status() {
    /usr/bin/python3 "$here/atspi_tree.py" rs232test 5 2>/dev/null |
        sed -n "s/^ *text \"状态\" text='\([^']*\)'.*$/\1/p" | head -n 1
}
expect_status() {
    local shown=''
    for _ in $(seq 40); do
        shown=$(status)
        [ "$shown" = "$1" ] && return 0
        sleep 0.25
    done
    /usr/bin/python3 "$here/atspi_tree.py" rs232test 5 >&2 || true
    fail "the status line reads \"$shown\", not \"$1\""
}
# Waits for FOLDER/line to hold exactly TEXT.
expect_line() {
    for _ in $(seq 50); do
        [ "$(cat "$1/line" 2>/dev/null)" = "$2" ] && return 0
        sleep 0.1
    done
    fail "board $(basename "$1") got \"$(cat "$1/line" 2>/dev/null)\", not \"$2\""
}
# CPU time in nanoseconds the program's threads have used.
cpu_ns() { awk '{ sum += $1 } END { print sum }' /proc/"$program_pid"/task/*/schedstat; }
in_program_mounts() { nsenter --target "$program_pid" --mount "$@"; }

start_echoing_board "$scratch/board1"
first=$pty
# Every serial node of the machine is /dev/null, and COM1's node the board over it.
# shellcheck disable=SC2016 # expanded by the inner shell
unshare --mount sh -c '
    mount --bind "$1" /run/lock || exit 125
    for node in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/ttyAMA* /dev/rfcomm*; do
        [ -c "$node" ] || continue
        mount --bind /dev/null "$node" || exit 125
    done
    mount --bind "$2" /dev/ttyS0 || exit 125
    exec "$3"' sh "$lock_dir" "$first" "$program" >"$scratch/program.log" 2>&1 &
program_pid=$!

window=$(timeout 30 xdotool search --sync --onlyvisible --name 'RS-232' | head -n 1) ||
    fail "the window did not appear"
expect_status "$OPENED"
xdotool mousemove --window "$window" 480 140 click 1 # the instructions go
sleep 0.3
xdotool type one
expect_line "$scratch/board1" one

echo "-- the board hangs up and its node goes"
kill "$echo_pid"
echo_pid=''
in_program_mounts umount /dev/ttyS0 # /dev/null is under it
expect_status "$LOST"
[ ! -e "$lock_file" ] || fail "the lost port's lock file is left"

cpu_before=$(cpu_ns)
away_from=$(date +%s%N)
sleep "$AWAY_S"
start_echoing_board "$scratch/board2"
in_program_mounts mount --bind "$pty" /dev/ttyS0
back_at=$(date +%s%N)
cpu_after=$(cpu_ns)
away_cpu=$(awk -v c=$((cpu_after - cpu_before)) -v t=$((back_at - away_from)) \
    'BEGIN { printf "%.3f", 100 * c / t }')
echo "   CPU while the board was away: ${away_cpu} % of a core (at most $MAX_AWAY_CPU_PERCENT %)"
awk -v p="$away_cpu" -v m="$MAX_AWAY_CPU_PERCENT" 'BEGIN { exit !(p < m) }' ||
    fail "the program took ${away_cpu} % of a core while the board was away"

echo "-- a new board at the same node, 3 s later"
for _ in $(seq 1000); do
    [ -e "$lock_file" ] && break
    sleep 0.01
done
[ -e "$lock_file" ] || fail "COM1 was not opened again within 10 s"
opened_at=$(date +%s%N)
echo "   COM1 opened again $(((opened_at - back_at) / 1000000)) ms after the board was back"
expect_status "$OPENED"
xdotool type two
expect_line "$scratch/board2" two
expect_line "$scratch/board1" one
! grep -E "runtime error|AddressSanitizer" "$scratch/program.log" >&2 ||
    fail "the program reported a fault"
echo "-- replug: OK"
