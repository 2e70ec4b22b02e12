#!/usr/bin/env bash
# The whole program with a real input method: fcitx5 pinyin on an X server of
# its own (Xvfb) and a private D-Bus session, keys typed with xdotool, COM1 a
# pseudo-terminal whose far end echoes and records the line. Checks the bytes
# on the line for committed text, for a composition abandoned by a click on
# 继电器 or 清 屏, and for Chinese punctuation; then reads the window through
# AT-SPI as a screen reader does.
# usage: test_input_method.sh PROGRAM
set -euo pipefail

fail() {
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

for tool in fcitx5 fcitx5-remote dbus-run-session xdotool Xvfb; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (see tools/packages.sh)"
done
# The system's Python, which has the Debian package's pyatspi.
atspi_python=/usr/bin/python3
"$atspi_python" -c 'import pyatspi' 2>/dev/null || fail "python3-pyatspi is not installed"

# Everything below runs on a D-Bus session bus of its own.
if [ -z "${RS232_IM_TEST_BUS:-}" ]; then
    export RS232_IM_TEST_BUS=1
    exec dbus-run-session -- "$0" "$@"
fi

# shellcheck source=../tools/desktop_session.sh
. "$here/../tools/desktop_session.sh"
fcitx_pid=''
trap '[ -z "$fcitx_pid" ] || kill "$fcitx_pid" 2>/dev/null || true; cleanup' EXIT

# fcitx5's settings and pinyin's user dictionary stay in the scratch folder.
export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
export XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$XDG_CONFIG_HOME/fcitx5" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cat >"$XDG_CONFIG_HOME/fcitx5/profile" <<'PROFILE'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=pinyin

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=pinyin
Layout=

[GroupOrder]
0=Default
PROFILE

start_xvfb

fcitx5 --disable=wayland,waylandim,notificationitem,kimpanel >"$scratch/fcitx5.log" 2>&1 &
fcitx_pid=$!
for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.fcitx.Fcitx5 2>/dev/null \
        | grep -q 'boolean true' && break
    kill -0 "$fcitx_pid" 2>/dev/null || { cat "$scratch/fcitx5.log" >&2; fail "fcitx5 did not start"; }
    sleep 0.1
done
kill -0 "$fcitx_pid" 2>/dev/null || { cat "$scratch/fcitx5.log" >&2; fail "fcitx5 did not start"; }

start_echoing_board
: >"$scratch/line"
export QT_QPA_PLATFORM=xcb QT_IM_MODULE=fcitx
export QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# Qt's lock files go to /run/lock, which is shared with every other run unless
# this namespace has its own.
# shellcheck disable=SC2016 # expanded by the inner shell
start_with_stand_in_ports "$pty" sh -c 'mount -t tmpfs tmpfs /run/lock && exec "$@"' sh "$program"

window=$(timeout 30 xdotool search --sync --onlyvisible --name 'RS-232' | head -n 1) ||
    { cat "$scratch/program.log" >&2; fail "the window did not appear"; }
xdotool windowfocus --sync "$window"

# Client-area points of the controls, from the control table.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1 && sleep 0.3; }
# The send box low on the right, clear of the candidate window that the input
# method opens under the caret.
click_send_box() { click 480 140; }
click_relay() { click 48 135; }
click_clear() { click 56 292; }

tree() { "$atspi_python" "$here/atspi_tree.py" rs232test 10; }
# The text of the first object whose name is $1, as AT-SPI reports it.
text_named() {
    tree | sed -n "s/^ *[a-z ]* \"$1\" text=//p" | head -n 1
}

line_hex() { od -An -tx1 "$scratch/line" | tr -s ' \n' ' ' | sed 's/^ //;s/ $//' | tr a-f A-F; }
# Waits until the line holds at least $1 bytes, then a little longer, so that
# anything sent after them would be seen too; with 0, only the little longer.
wait_for_line() {
    for _ in $(seq 100); do
        [ "$(stat -c %s "$scratch/line")" -ge "$1" ] && break
        sleep 0.1
    done
    sleep 0.7
}
expect_line() {
    local what=$1 expected=$2 got
    got=$(line_hex)
    echo "$what: line carried [${got}]"
    [ "$got" = "$expected" ] || fail "$what: expected [$expected] on the line, got [$got]"
    : >"$scratch/line"
}
pinyin_on() {
    fcitx5-remote -o
    for _ in $(seq 50); do
        [ "$(fcitx5-remote -n)" = pinyin ] && return 0
        sleep 0.1
    done
    fail "fcitx5 did not switch to pinyin (current: $(fcitx5-remote -n))"
}

tree | grep -q '"状态" text=.*串口COM1打开成功' || { tree >&2; fail "status line does not say COM1 is open"; }

# The first click clears the instructions; then pinyin, and 中文 committed
# with the space bar.
click_send_box
pinyin_on
xdotool type --delay 60 zhongwen
sleep 0.3
xdotool key space
wait_for_line 4
expect_line "中文 committed" "D6 D0 CE C4"
sleep 0.3
[ "$(text_named 'PC按键')" = "'文'" ] || fail "PC按键 shows $(text_named 'PC按键')"
[ "$(text_named '10进制')" = "'-12604'" ] || fail "10进制 shows $(text_named '10进制')"
[ "$(text_named '16进制')" = "'CEC4H'" ] || fail "16进制 shows $(text_named '16进制')"
[ "$(text_named 接收数据窗)" = "'中文'" ] || { tree >&2; false; } || fail "the receive box reads $(text_named '接收数据窗')"
echo "== accessibility tree after typing 中文"
tree | tee "$scratch/tree.txt"

# A composition left open while 继电器 is clicked: only the relay command.
xdotool type --delay 60 zhongwen
sleep 0.3
click_relay
wait_for_line 1
expect_line "composition, then 继电器" "4B"

# A composition left open while 清 屏 is clicked: nothing at all.
click_send_box
xdotool type --delay 60 zhongwen
sleep 0.3
click_clear
wait_for_line 0
expect_line "composition, then 清 屏" ""
[ "$(text_named '接收数据窗')" = "''" ] || fail "the receive box reads $(text_named '接收数据窗') after 清 屏"

# A composition left open while the send box is clicked: nothing.
click_send_box
xdotool type --delay 60 zhongwen
sleep 0.3
click_send_box
wait_for_line 0
expect_line "composition, then a click in the send box" ""

# A composition left open while another window takes the focus: nothing,
# and nothing of it is left to come out with the next key either.
xmessage -geometry +0+0 other >/dev/null 2>&1 &
other_pid=$!
other=$(timeout 20 xdotool search --sync --onlyvisible --classname xmessage | head -n 1) ||
    fail "the other window did not appear"
xdotool type --delay 60 zhongwen
sleep 0.3
xdotool windowfocus --sync "$other"
wait_for_line 0
kill "$other_pid"
expect_line "composition, then another window" ""
xdotool windowfocus --sync "$window"
click_send_box

# Chinese punctuation is committed at once.
xdotool type --delay 60 ',.'
wait_for_line 4
expect_line "，。 typed" "A3 AC A1 A3"

# English mode: plain ASCII.
fcitx5-remote -c
sleep 0.3
xdotool type --delay 60 'ok'
wait_for_line 2
expect_line "ok typed in English mode" "6F 6B"

echo "PASS"
