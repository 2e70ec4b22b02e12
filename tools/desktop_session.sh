# Shared by the real-client tests, check_package.sh and screenshots.sh
# (sourced): a scratch folder cleaned up on exit, folders of the run's own, an
# X server of its own, an echoing board on a pseudo-terminal, and the program
# started with stand-ins for the machine's serial ports, so that they are never
# opened. Needs fail() from the caller.

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

# Folders of this run's own for what the desktop's programs keep (settings,
# data, cache, sockets) and for the program's lock files: $lock_dir, with
# COM1's lock at $lock_file.
use_own_folders() {
    export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
    export XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    lock_dir=$scratch/locks
    mkdir -m 1777 "$lock_dir"
    lock_file=$lock_dir/LCK..ttyS0
}

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

# Starts the other end of a pseudo-terminal: a board that echoes every byte
# (tools/pty_board.py). Leaves the terminal's name in $pty and the board's pid
# in $echo_pid; what it receives is added to FOLDER/line (FOLDER: $1, or
# $scratch), and FOLDER/control takes the board's commands (board_command).
# Killed, it hangs the line up.
pty_board_script=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/pty_board.py
start_echoing_board() {
    local folder=${1:-$scratch}
    mkdir -p "$folder"
    python3 "$pty_board_script" "$folder" &
    echo_pid=$!
    for _ in $(seq 100); do
        [ -f "$folder/pty" ] && break
        sleep 0.1
    done
    [ -f "$folder/pty" ] || fail "no pseudo-terminal"
    pty=$(cat "$folder/pty")
}

# Gives the board in FOLDER ($1) a command ($2): flood N, stream S, pour, hangup.
board_command() {
    printf '%s\n' "$2" >"$1/control"
}

# Starts "${@:2}" in the background, in a private mount namespace in which
# every serial device node of the machine is the device $1 and the lock folder
# /run/lock is a private one (the folder $lock_dir if set, else an empty
# tmpfs), so that runs at the same time never meet on a lock file; its pid
# goes to $program_pid and its output to $scratch/program.log.
start_with_stand_in_ports() {
    local standin=$1 userns=()
    shift
    [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
    # shellcheck disable=SC2016 # expanded by the inner shell
    unshare --mount "${userns[@]}" sh -c '
        standin=$1 locks=$2
        shift 2
        if [ -n "$locks" ]; then
            mount --bind "$locks" /run/lock || exit 125
        else
            mount -t tmpfs -o mode=1777 tmpfs /run/lock || exit 125
        fi
        for node in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/ttyAMA* /dev/rfcomm*; do
            [ -c "$node" ] || continue
            mount --bind "$standin" "$node" || exit 125
        done
        exec "$@"' sh "$standin" "${lock_dir:-}" "$@" >"$scratch/program.log" 2>&1 &
    program_pid=$!
}

# Waits up to 30 s for a visible window named $1 (a pattern) and for the
# window manager's frame around it, and leaves its id in $window; fails when
# the program ends first. The window places itself again once it knows its
# frame, so it is given half a second more.
wait_for_framed_window() {
    local deadline=$((SECONDS + 30))
    window=''
    while [ -z "$window" ]; do
        kill -0 "$program_pid" 2>/dev/null || fail "the program exited before \"$1\" appeared"
        [ "$SECONDS" -lt "$deadline" ] || fail "no \"$1\" window within 30 s"
        window=$(timeout 1 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null \
                 | head -n1 || true)
    done
    for _ in $(seq 50); do
        xprop -id "$window" _NET_FRAME_EXTENTS | grep -q = && break
        sleep 0.1
    done
    sleep 0.5
}

# Client size and frame rectangle of $window: $cw $ch $fx $fy $fw $fh, with
# the frame's extents in $left $right $top $bottom.
measure() {
    local info x y
    info=$(xwininfo -id "$window")
    x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
    y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
    cw=$(awk '/Width:/ {print $2}' <<<"$info")
    ch=$(awk '/Height:/ {print $2}' <<<"$info")
    read -r left right top bottom \
        <<<"$(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    fx=$((x - left)) fy=$((y - top)) fw=$((cw + left + right)) fh=$((ch + top + bottom))
}
