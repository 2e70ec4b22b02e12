#!/usr/bin/env bash
# Takes the README's pictures of the program under Xvfb: docs/window.png, docs/window@2x.png, docs/warning.png.
#
#   docs/window.png      the window at scale 1 with COM1 opened (529 x 365)
#   docs/window@2x.png   the same at QT_SCALE_FACTOR=2 (1058 x 730)
#   docs/warning.png     the warning box shown when COM1 cannot be opened
#
# The program runs in a private mount namespace in which every serial device
# node is a pseudo-terminal with an echoing other end (COM1 opens) or /dev/null
# (COM1 fails to open): the machine's real serial ports are never opened.
# Builds rs232test (Release) in $BUILD_DIR (default: build, as run.sh does).
# Needs root, or unprivileged user namespaces. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly TITLE='RS-232串行通信测试程序'
readonly WARNING_TITLE='警告'
BUILD_DIR=${BUILD_DIR:-build}

fail() {
    echo "screenshots: FAILED: $*" >&2
    exit 1
}

for tool in cmake Xvfb xauth xdotool import convert identify python3 unshare; do
    command -v "$tool" >/dev/null \
        || fail "$tool is missing (sudo apt-get install xvfb xauth xdotool imagemagick)"
done

. tools/desktop_session.sh

# Starts the program in the background at scale factor $2, with every serial
# device node of the machine replaced by the device $1.
start_program() {
    QT_SCALE_FACTOR=$2 start_with_stand_in_ports "$1" "$BUILD_DIR/app/rs232test"
}

stop_program() {
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=''
}

program_failed() {
    echo "   program output:" >&2
    sed 's/^/   | /' "$scratch/program.log" >&2
    fail "$@"
}

# Leaves in $window the id of the visible window whose name matches $1,
# waiting up to 30 seconds; fails with the message $3 if one whose name
# matches $2 appears instead.
wait_for_window() {
    local deadline=$((SECONDS + 30))
    window=''
    while [ -z "$window" ]; do
        kill -0 "$program_pid" 2>/dev/null || program_failed "the program exited before \"$1\" appeared"
        [ "$SECONDS" -lt "$deadline" ] || program_failed "no \"$1\" window within 30 s"
        if [ $# -gt 1 ] && xdotool search --onlyvisible --name "$2" >/dev/null 2>&1; then
            program_failed "$3"
        fi
        window=$(timeout 1 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null \
                 | head -n1 || true)
    done
}

# Writes a picture of window $1 to $2, checking that it is $3 (WIDTHxHEIGHT).
shoot() {
    local size
    eval "$(xdotool getwindowgeometry --shell "$1")"
    [ "${WIDTH}x${HEIGHT}" = "$3" ] || fail "$2: the window is ${WIDTH}x${HEIGHT}, not $3"
    import -window "$1" "$scratch/shot.png"
    # Without time stamps, so that taking them again changes nothing that looks the same.
    convert "$scratch/shot.png" -strip -define png:exclude-chunks=date,time "$2"
    size=$(identify -format '%wx%h' "$2")
    [ "$size" = "$3" ] || fail "$2 is $size, not $3"
    echo "   $2 ($size)"
}

echo "-- build rs232test (Release) in $BUILD_DIR/"
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD_DIR" --target rs232test -j"$(nproc)" >/dev/null

echo "-- screenshots under Xvfb"
start_xvfb
start_echoing_board
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p docs
# Keep the pointer off the window.
xdotool mousemove 0 0

for scale in 1 2; do
    start_program "$pty" "$scale"
    wait_for_window "$TITLE" "^${WARNING_TITLE}\$" \
        "COM1 did not open on the pseudo-terminal (scale $scale): warning box shown"
    sleep 1
    if [ "$scale" = 1 ]; then
        shoot "$window" docs/window.png 529x365
    else
        shoot "$window" docs/window@2x.png 1058x730
    fi
    stop_program
done

start_program /dev/null 1
wait_for_window "^${WARNING_TITLE}\$"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
shoot "$window" docs/warning.png "${WIDTH}x${HEIGHT}"
stop_program

echo "-- screenshots: OK"
