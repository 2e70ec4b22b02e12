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

scratch=$(mktemp -d)
echo_pid='' xvfb_pid='' program_pid=''
cleanup() {
    local pid
    for pid in "$program_pid" "$xvfb_pid" "$echo_pid"; do
        [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# Starts an X server of its own, which picks a free display number itself, with
# a fresh cookie, and points DISPLAY and XAUTHORITY at it.
start_xvfb() {
    local cookie
    cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    export XAUTHORITY=$scratch/Xauthority
    : >"$XAUTHORITY"
    # The server takes every cookie in the file, whatever display it names.
    xauth -q add :0 . "$cookie"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -auth "$XAUTHORITY" \
        3>"$scratch/display" 2>"$scratch/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$scratch/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || { cat "$scratch/xvfb.log"; fail "Xvfb did not start"; }
        sleep 0.1
    done
    [ -s "$scratch/display" ] || fail "Xvfb did not start within 10 s"
    DISPLAY=:$(cat "$scratch/display")
    export DISPLAY
    xauth -q add "$DISPLAY" . "$cookie"
}

# Starts the other end of a pseudo-terminal: a board that echoes every byte.
# Leaves the terminal's name in $pty.
start_echoing_board() {
    python3 - "$scratch/pty" <<'EOF' &
import os, pty, select, sys, tty

master, slave = pty.openpty()
tty.setraw(master)
tty.setraw(slave)
parent = os.getppid()
with open(sys.argv[1] + ".part", "w") as f:
    f.write(os.ttyname(slave))
os.rename(sys.argv[1] + ".part", sys.argv[1])
# Quits when the script that started it is gone.
while os.getppid() == parent:
    if select.select([master], [], [], 1.0)[0]:
        try:
            os.write(master, os.read(master, 4096))
        except OSError:
            pass
EOF
    echo_pid=$!
    for _ in $(seq 100); do
        [ -f "$scratch/pty" ] && break
        sleep 0.1
    done
    [ -f "$scratch/pty" ] || fail "no pseudo-terminal"
    pty=$(cat "$scratch/pty")
}

# Starts the program in the background at scale factor $2, in a private mount
# namespace in which every serial device node of the machine is the device $1;
# its pid goes to $program_pid.
start_program() {
    local userns=()
    [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
    # shellcheck disable=SC2016 # expanded by the inner shell
    QT_SCALE_FACTOR=$2 unshare --mount "${userns[@]}" sh -c '
        standin=$1
        shift
        for node in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/ttyAMA* /dev/rfcomm*; do
            [ -c "$node" ] || continue
            mount --bind "$standin" "$node" || exit 125
        done
        exec "$@"' sh "$1" "$BUILD_DIR/app/rs232test" >>"$scratch/program.log" 2>&1 &
    program_pid=$!
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
