#!/usr/bin/env bash
# The program under the window manager WM (kwin: kwin_x11 with its Breeze
# frames; mutter: mutter --x11; metacity; xfwm4), each on an X server (Xvfb),
# D-Bus session and lock folder of its own, with COM1 a pseudo-terminal:
#   - the window manager offers no maximize (_NET_WM_ALLOWED_ACTIONS), and
#     resizing the border everywhere but under KWin, which cannot keep the two
#     apart;
#   - maximize requests (wmctrl, a double-click on the title bar, and mutter's
#     and metacity's Super+Up) change nothing, not even for a moment: the client stays
#     529 x 365 and never carries a maximized state;
#   - the window, frame included, is centred on the screen within 2 pixels,
#     and appears there (but under KWin, which tells the frame only once it
#     has mapped the window);
#   - with COM1 missing, the warning box, shown before the window, is centred
#     on the screen within 2 pixels too.
# RS232_SHOTS=FOLDER keeps screenshots of the window and of the warning box.
# usage: test_window_managers.sh WM PROGRAM      (exit status 77: cannot run here)
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 WM PROGRAM" >&2; exit 2; }
wm=$1
program=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
readonly TITLE='RS-232串行通信测试程序'
readonly SCREEN_W=1280 SCREEN_H=1024

fail() {
    echo "test_window_managers ($wm): FAILED: $*" >&2
    [ -f "${scratch:-}/program.log" ] && sed 's/^/   | /' "$scratch/program.log" >&2
    exit 1
}

case $wm in
kwin) wm_command=(kwin_x11 --replace) ;;
mutter) wm_command=(mutter --x11 --replace) ;;
metacity) wm_command=(metacity --replace) ;;
xfwm4) wm_command=(xfwm4 --replace) ;;
*) echo "unknown window manager $wm" >&2; exit 2 ;;
esac
. "$here/../tools/desktop_checks.sh"
require_tools Xvfb xauth xdotool xwininfo xprop xev wmctrl dbus-run-session python3 \
    "${wm_command[0]}"

if [ -z "${RS232_WM_TEST_BUS:-}" ]; then
    export RS232_WM_TEST_BUS=1
    exec dbus-run-session -- "$0" "$@"
fi

. "$here/../tools/desktop_session.sh"
wm_pid=''
xev_pid=''
trap 'for pid in "$wm_pid" "$xev_pid"; do [ -z "$pid" ] || kill "$pid" 2>/dev/null || true; done
      cleanup' EXIT
# The window manager's settings stay in the scratch folder.
use_own_folders
export QT_QPA_PLATFORM=xcb

start_xvfb
# Services the window manager starts through D-Bus find the X server too.
dbus-update-activation-environment DISPLAY XAUTHORITY XDG_CONFIG_HOME XDG_DATA_HOME \
    XDG_CACHE_HOME XDG_RUNTIME_DIR 2>/dev/null || true
start_echoing_board
# KWin without compositing, so that a screenshot of the root window shows
# what is on the screen; placement and maximize do not depend on it.
KWIN_COMPOSE=N "${wm_command[@]}" >"$scratch/wm.log" 2>&1 &
wm_pid=$!
for _ in $(seq 150); do
    wmctrl -m >/dev/null 2>&1 && break
    kill -0 "$wm_pid" 2>/dev/null || { cat "$scratch/wm.log" >&2; fail "$wm did not start"; }
    sleep 0.1
done
wmctrl -m >/dev/null 2>&1 || fail "$wm did not start"
sleep 1 # its decoration loaded
xdotool mousemove 0 0

# Starts the program with the serial ports standing in for $1 and leaves in
# $window its window named $2 once it is mapped and framed.
run_program() {
    [ -z "${xev_pid:-}" ] || kill "$xev_pid" 2>/dev/null || true
    xev -root -event substructure >"$scratch/xev.log" 2>&1 &
    xev_pid=$!
    check_places=1
    start_with_stand_in_ports "$1" "$program"
    wait_for_framed_window "$2"
}

stop_program() {
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=''
}

# The places the frame round $window had since it was mapped, one a line, as
# the X server reported them to xev watching the root window.
frame_places() {
    awk -v client="$(printf '0x%x,' "$window")" '
        /^ReparentNotify/ {getline; if ($4 == client) {frame = $6; sub(/,$/, "", frame)}}
        /^MapNotify/ {getline; if ($4 == frame ",") mapped = 1}
        /^ConfigureNotify/ {getline
            if (mapped && $4 == frame ",") {place = $5; sub(/,$/, "", place); if (place != last) print place; last = place}}
    ' "$scratch/xev.log"
}

# Fails unless the frame of $window, named $1, is centred within 2 pixels,
# and, where the window manager tells the frame before mapping (all but
# KWin), unless the window appeared there in the first place.
expect_centred() {
    measure
    local dx=$((2 * fx + fw - SCREEN_W)) dy=$((2 * fy + fh - SCREEN_H))
    echo "   $1: client ${cw}x${ch}, frame ${fw}x${fh} at $fx,$fy, centre off by $((dx / 2)),$((dy / 2))"
    if [ -n "$check_places" ]; then
        echo "   $1: the frame's places since it was mapped: $(frame_places | tr '\n' ' ')"
        if [ "$wm" != kwin ] && [ "$(frame_places | wc -l)" -gt 1 ]; then
            fail "$1 moved after it appeared"
        fi
        check_places=''
    fi
    [ "${dx#-}" -le 4 ] && [ "${dy#-}" -le 4 ] \
        || fail "$1: the frame's centre is off by $((dx / 2)),$((dy / 2)) px"
}

shoot() {
    [ -n "${RS232_SHOTS:-}" ] || return 0
    mkdir -p "$RS232_SHOTS"
    sleep 1 # past the window manager's mapping animation
    import -window root "$RS232_SHOTS/$1-$wm.png"
}

# Makes the maximize request "$@", watching the window for 1.5 s: fails if it
# is ever another size than 529 x 365 or marked maximized.
expect_maximize_refused() {
    local what=$1 size state
    shift
    "$@"
    for _ in $(seq 50); do
        size=$(xwininfo -id "$window" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
        state=$(xprop -id "$window" _NET_WM_STATE)
        [ "$size" = 529x365 ] || fail "$what: the window became $size"
        ! grep -q MAXIMIZED <<<"$state" || fail "$what: the window was marked maximized"
        sleep 0.03
    done
    echo "   $what: still 529x365, never maximized"
}

echo "-- $wm: the window"
run_program "$pty" "$TITLE"
expect_centred "window"
actions=$(xprop -id "$window" _NET_WM_ALLOWED_ACTIONS)
echo "   allowed actions: ${actions#*= }"
grep -q _NET_WM_ACTION_MOVE <<<"$actions" || fail "no allowed actions set by $wm"
! grep -q MAXIMIZE <<<"$actions" || fail "$wm offers maximize"
# KWin offers maximize with resizing or neither; the others keep them apart.
if [ "$wm" != kwin ]; then
    grep -q _NET_WM_ACTION_RESIZE <<<"$actions" || fail "the border is not resizable under $wm"
fi
expect_maximize_refused "wmctrl -b add,maximized_vert,maximized_horz" \
    wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
measure
expect_maximize_refused "double-click on the title bar" \
    xdotool mousemove $((fx + fw / 2)) $((fy + top / 2)) click --repeat 2 --delay 80 1
xdotool mousemove 0 0
if [ "$wm" = mutter ] || [ "$wm" = metacity ]; then
    xdotool windowactivate --sync "$window" 2>/dev/null || true
    expect_maximize_refused "Super+Up" xdotool key super+Up
fi
expect_centred "window after the requests"
shoot window
stop_program

echo "-- $wm: the warning box"
run_program /dev/null '^警告$'
expect_centred "warning box"
shoot warning
stop_program
echo "-- $wm: OK"
