#!/usr/bin/env bash
# Faults only the real program shows, on Xvfb with COM1 a pseudo-terminal and
# a lock folder of its own:
#   - two termination signals a few milliseconds apart while the board floods
#     the line, and a stream of them: exit status 0, no lock file left;
#   - a lock file that is no regular file (a FIFO, a symbolic link to a FIFO
#     or to /dev/zero): the warning or the window within 5 s, and SIGTERM
#     still ends the program with status 0, the lock file left as it was.
# usage: test_program_faults.sh PROGRAM      (exit status 77: cannot run here)
set -euo pipefail
program=$(realpath "$1")
cd "$(dirname "$0")/.."

readonly TITLE='RS-232串行通信测试程序'
readonly WARNING_TITLE='警告'
readonly MAX_RSS_KB=$((1024 * 1024)) # a program past this is killed, not waited for

fail() {
    echo "test_program_faults: FAILED: $*" >&2
    [ -f "$scratch/program.log" ] && sed 's/^/   | /' "$scratch/program.log" >&2
    # A program hung in a system call ignores SIGTERM.
    [ -z "${program_pid:-}" ] || kill -KILL "$program_pid" 2>/dev/null || true
    exit 1
}

. tools/desktop_checks.sh
require_tools Xvfb xauth xdotool python3

. tools/desktop_session.sh
use_own_folders

# A board that sends numbered lines as fast as the line takes them and
# discards what it receives. Leaves the terminal's name in $flood_pty.
start_flooding_board() {
    start_echoing_board "$scratch/flood"
    flood_pty=$pty
    board_command "$scratch/flood" pour
}

# Waits up to $1 seconds for a visible window named $2; its id goes to $window.
# Fails when the program exits first or grows past MAX_RSS_KB.
wait_for_window() {
    local deadline=$((SECONDS + $1)) rss
    window=''
    while [ -z "$window" ]; do
        kill -0 "$program_pid" 2>/dev/null || fail "the program exited before a window named $2 appeared"
        [ "$SECONDS" -lt "$deadline" ] || fail "no window named $2 within $1 s"
        rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$program_pid/status" 2>/dev/null || echo 0)
        [ "${rss:-0}" -lt "$MAX_RSS_KB" ] || fail "the program took ${rss} kB before any window"
        window=$(timeout 1 xdotool search --onlyvisible --name "$2" 2>/dev/null | head -n1 || true)
        [ -n "$window" ] || sleep 0.1
    done
}

# Waits up to 30 s for the program to end; its exit status goes to $status.
wait_for_end() {
    local deadline=$((SECONDS + 30))
    while kill -0 "$program_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
        # A zombie has ended; wait collects it below.
        grep -q '^State:.*Z' "/proc/$program_pid/status" 2>/dev/null && break
        sleep 0.05
    done
    grep -q '^State:.*Z' "/proc/$program_pid/status" 2>/dev/null \
        || ! kill -0 "$program_pid" 2>/dev/null || fail "$1: still running 30 s later"
    status=0
    wait "$program_pid" || status=$?
    program_pid=''
}

start_xvfb
start_flooding_board

# Starts the program on the flood and waits until the line is busy.
run_on_flood() {
    start_with_stand_in_ports "$flood_pty" "$program"
    wait_for_window 30 "$TITLE"
    [ -e "$lock_file" ] || fail "COM1 was not opened (no $lock_file)"
    sleep 1
}

echo "-- two signals while the board floods the line"
for case in "TERM TERM 0.002" "TERM TERM 0.02" "INT INT 0.005" "TERM INT 0.01" "HUP TERM 0.005"; do
    read -r first second gap <<<"$case"
    run_on_flood
    kill -s "$first" "$program_pid"
    sleep "$gap"
    kill -s "$second" "$program_pid" 2>/dev/null || true
    wait_for_end "$first then $second"
    left=$([ -e "$lock_file" ] && echo "$lock_file left" || echo "no lock file")
    [ "$status" -eq 0 ] && [ ! -e "$lock_file" ] \
        || fail "$first, then $second $gap s later: exit status $status, $left"
    echo "   $first, $second ${gap}s later: exit status 0, no lock file"
done

echo "-- SIGTERM every few milliseconds from the first until the end"
run_on_flood
kill -TERM "$program_pid"
sent=1
while kill -TERM "$program_pid" 2>/dev/null && ! grep -q '^State:.*Z' "/proc/$program_pid/status" 2>/dev/null; do
    sent=$((sent + 1))
    [ "$sent" -lt 10000 ] || fail "still running after $sent signals"
    sleep 0.003
done
wait_for_end "a stream of SIGTERM"
left=$([ -e "$lock_file" ] && echo "$lock_file left" || echo "no lock file")
[ "$status" -eq 0 ] && [ ! -e "$lock_file" ] || fail "after $sent SIGTERMs: exit status $status, $left"
echo "   $sent SIGTERMs: exit status 0, no lock file"

echo "-- lock files that are no regular file"
mkfifo "$scratch/fifo"
for kind in fifo fifo-link zero-link; do
    case $kind in
        fifo) mkfifo "$lock_file" ;;
        fifo-link) ln -s "$scratch/fifo" "$lock_file" ;;
        zero-link) ln -s /dev/zero "$lock_file" ;;
    esac
    before=$(stat -c '%F %N' "$lock_file")
    start_with_stand_in_ports "$flood_pty" "$program"
    # COM1 cannot be opened: the warning comes before the window does.
    wait_for_window 5 "$WARNING_TITLE"
    kill -TERM "$program_pid"
    wait_for_end "$kind: SIGTERM"
    [ "$status" -eq 0 ] || fail "$kind: after SIGTERM the exit status is $status"
    [ "$(stat -c '%F %N' "$lock_file")" = "$before" ] || fail "$kind: the lock file was changed"
    echo "   $kind ($before): warning shown, SIGTERM ends it with status 0"
    rm -f "$lock_file"
done
echo "-- program faults: OK"
