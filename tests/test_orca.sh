#!/usr/bin/env bash
# The whole program heard through a real screen reader: Orca with
# speech-dispatcher (its dummy output module, so nothing is played) on an X
# server of its own (Xvfb), a private D-Bus session with the accessibility
# bus, Orca in a process namespace of its own (it ends any other Orca of the
# same user), COM1 a pseudo-terminal whose far end echoes and floods on
# demand. Reads what Orca says from its debug log's "SPEECH OUTPUT" lines: the
# status line at start, the board's echo of typed keys, both relay lamps, a
# flood, a lost line.
# usage: test_orca.sh PROGRAM
set -euo pipefail

fail() {
    [ -z "${RS232_ORCA_KEEP_LOG:-}" ] || cp "${scratch:-}/orca.log" "$RS232_ORCA_KEEP_LOG" 2>/dev/null || true
    if [ -s "${scratch:-}/orca.log" ]; then
        echo "-- what Orca said:" >&2
        grep -a "SPEECH OUTPUT" "$scratch/orca.log" | tail -n 40 >&2 || true
    fi
    if [ -s "${scratch:-}/program.log" ]; then
        echo "-- the program's output:" >&2
        tail -n 20 "$scratch/program.log" >&2
    fi
    echo "FAIL: $*" >&2
    exit 1
}

[ $# -eq 1 ] || fail "usage: $0 PROGRAM"
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")

for tool in orca speech-dispatcher dbus-run-session xdotool Xvfb unshare; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (see tools/packages.sh)"
done

# Everything below runs on a D-Bus session bus of its own.
if [ -z "${RS232_ORCA_TEST_BUS:-}" ]; then
    export RS232_ORCA_TEST_BUS=1
    exec dbus-run-session -- "$0" "$@"
fi

# shellcheck source=../tools/desktop_session.sh
. "$here/../tools/desktop_session.sh"
orca_pid='' speechd_pid=''
trap 'for pid in "$orca_pid" "$speechd_pid"; do [ -z "$pid" ] || kill "$pid" 2>/dev/null || true; done
      cleanup' EXIT

# Orca's and speech-dispatcher's settings stay in the scratch folder.
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
export XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME/speech-dispatcher" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" \
    "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# speech-dispatcher with only the dummy module, which plays nothing where
# there is no sound device.
cat >"$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf" <<CONF
LogLevel 3
LogDir "$scratch/speechd"
AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
AudioOutputMethod "libao"
CONF
printf 'default_driver=null\n' >"$HOME/.libao"
export LANG=C.UTF-8 LC_ALL=C.UTF-8

start_xvfb

speech-dispatcher --run-single --timeout 0 >"$scratch/speechd.out" 2>&1 &
speechd_pid=$!
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/speech-dispatcher/speechd.sock" ] && break
    kill -0 "$speechd_pid" 2>/dev/null || { cat "$scratch/speechd.out" >&2; fail "speech-dispatcher did not start"; }
    sleep 0.1
done

# Orca first, as on a desktop where it runs before the program starts: it
# switches accessibility on, which Qt looks at once, as it starts. Its debug
# log goes to a terminal (script's), so that each line is written as it is
# made rather than a buffer at a time.
unshare --pid --fork --kill-child --mount-proc script -qfec "exec orca --disable=braille \
    --disable=main-window --user-prefs=$scratch/orca-prefs --debug-file=/dev/stdout" \
    "$scratch/orca.log" >"$scratch/orca.out" 2>&1 &
orca_pid=$!
for _ in $(seq 200); do
    grep -aq "ORCA: Starting ATSPI registry" "$scratch/orca.log" 2>/dev/null && break
    kill -0 "$orca_pid" 2>/dev/null || { cat "$scratch/orca.out" >&2; fail "Orca did not start"; }
    sleep 0.1
done
grep -aq "ORCA: Starting ATSPI registry" "$scratch/orca.log" || fail "Orca did not start within 20 s"
# Orca has switched accessibility on (the bus keeps it in GSettings, which
# may take a moment to read back).
a11y_enabled() {
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Get string:org.a11y.Status string:IsEnabled 2>/dev/null |
        grep -q 'boolean true'
}
for _ in $(seq 100); do
    a11y_enabled && break
    sleep 0.1
done
a11y_enabled || fail "Orca did not switch accessibility on"
grep -aq "SPEECH: Using speech server factory: speechdispatcherfactory" "$scratch/orca.log" ||
    fail "Orca is not speaking through speech-dispatcher"

# The board: echoes every byte, and streams lines of text on command.
start_echoing_board
: >"$scratch/line"
export QT_QPA_PLATFORM=xcb
unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON
start_with_stand_in_ports "$pty" "$program"

window=$(timeout 30 xdotool search --sync --onlyvisible --name 'RS-232' | head -n 1) ||
    fail "the window did not appear"
xdotool windowfocus --sync "$window"

# What Orca has said since the mark, one utterance a line.
said() {
    grep -a "SPEECH OUTPUT:" "$scratch/orca.log" | tail -n +"$((mark + 1))" |
        sed "s/^.*SPEECH OUTPUT: '//; s/' *{.*}\r\?$//; s/' voice=.*$//; s/ *$//"
}
mark=0
set_mark() { mark=$(grep -ac "SPEECH OUTPUT:" "$scratch/orca.log" || true); }
# Waits up to 10 s for Orca to say a line equal to $2 after the mark.
expect_said() {
    local what=$1 line=$2
    for _ in $(seq 100); do
        said | grep -qxF -- "$line" && { echo "$what: Orca said '$line'"; return 0; }
        sleep 0.1
    done
    fail "$what: Orca did not say '$line'; it said: $(said | tr '\n' '|')"
}
click() { xdotool mousemove --window "$window" "$1" "$2" click 1 && sleep 0.3; }

expect_said "status at start" "notification 串口COM1打开成功！ 波特率：9600bps."

line_hex() { od -An -tx1 "$scratch/line" | tr -s ' \n' ' ' | sed 's/^ //;s/ $//' | tr a-f A-F; }
# Waits until the line has carried the bytes $2 (in hex, as line_hex prints them).
expect_line() {
    for _ in $(seq 50); do
        [ "$(line_hex)" = "$2" ] && { : >"$scratch/line"; return 0; }
        sleep 0.1
    done
    fail "$1: the line carried [$(line_hex)], not [$2]"
}
# How many lines after the mark begin with $1.
count_said() { said | grep -c -- "^$1" || true; }

# The first click clears the instructions from the send box; then one key:
# Orca echoes the key, and then tells the board's echo of it as a notice.
click 480 140
set_mark
xdotool type q
expect_line "q typed" "71"
expect_said "the key typed" "q"
expect_said "the board's echo" "notification q."

# Keys typed as fast as a quick typist does, faster than notices are told:
# their echoes are told in a few notices, not one a character, and nothing is
# lost.
set_mark
typed=abcdefghijkl
xdotool type --delay 125 "$typed"
expect_line "$typed typed" "$(printf %s "$typed" | od -An -tx1 | tr -s ' \n' ' ' | sed 's/^ //;s/ $//' | tr a-f A-F)"
for _ in $(seq 60); do
    [ "$(said | sed -n 's/^notification \(.*\)\.$/\1/p' | tr -d '\n')" = "$typed" ] && break
    sleep 0.1
done
told=$(said | sed -n 's/^notification \(.*\)\.$/\1/p')
echo "the echo of $typed told as: $(echo "$told" | tr '\n' '|')"
[ "$(echo "$told" | tr -d '\n')" = "$typed" ] || fail "the echo of $typed was told as: $told"
[ "$(echo "$told" | wc -l)" -le 3 ] || fail "the echo of ${#typed} keys took $(echo "$told" | wc -l) notices"

# 继电器 twice: "K" and the red lamp, then "G" and the green one.
click_relay() { xdotool mousemove --window "$window" 48 135 click 1; }
set_mark
click_relay
expect_line "继电器 pressed" "4B"
expect_said "relay on" "notification 指示灯：红灯亮."
expect_said "the board's echo of K" "notification K."
set_mark
click_relay
expect_line "继电器 pressed again" "47"
expect_said "relay off" "notification 指示灯：绿灯亮."
expect_said "the board's echo of G" "notification G."
[ "$(count_said "notification 指示灯：红灯亮")" -eq 0 ] || fail "the red lamp told again"

# A flood from the board: told in a few notices of a bounded length, each
# saying how much came, not one notice a character.
set_mark
board_command "$scratch" "stream 1"
sleep 8
flood=$(said | sed -n 's/^notification \(line 0.*\)$/\1/p')
echo "the flood told as: $(echo "$flood" | tr '\n' '|')"
[ -n "$flood" ] || fail "nothing of the flood was told"
[ "$(echo "$flood" | wc -l)" -le 3 ] || fail "the flood took $(echo "$flood" | wc -l) notices"
echo "$flood" | head -n 1 | grep -q '^line 0000 of the flood line 0001 .*……（共[0-9]*个字符）$' ||
    fail "the flood's first notice: $(echo "$flood" | head -n 1)"

# The board hangs up: the status line says the line is lost.
set_mark
kill "$echo_pid"
echo_pid=''
expect_said "status when the line is lost" "notification 串口COM1已断开！"

! grep -E "runtime error|AddressSanitizer" "$scratch/program.log" >&2 ||
    fail "the program reported a fault"
echo "== what Orca said"
mark=0
said
echo "PASS"
