# Shared by tools/windows/test.sh (sourced): a wine prefix of its own, an X server
# with a window manager, echoing boards on pseudo-terminals mapped to COMn, the
# program started and its window read through the clipboard and the screen.
# Needs $scratch (a scratch folder) and fail() from the caller, and must run in
# a private mount namespace in which no device node of a real serial port is
# left (test.sh sees to that).
# shellcheck shell=bash disable=SC2154,SC2034 # variables shared with the caller

# The wine prefix, its home and its menus stay inside the scratch folder; no
# menu entries for the host, no Mono or Gecko download prompts.
start_wine_prefix() {
    export HOME=$scratch/home WINEPREFIX=$scratch/prefix WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d'
    export XDG_RUNTIME_DIR=$scratch/runtime
    mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
    wineboot --init >"$scratch/wineboot.log" 2>&1 || { cat "$scratch/wineboot.log"; return 1; }
    wineserver --wait
}

# An X server of its own (tools/desktop_session.sh) with openbox on it, so that
# wine's windows are managed as on a desktop.
start_x_session() {
    start_xvfb
    openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
    openbox_pid=$!
    for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    fail "openbox did not start"
}

# Points COM1..COM8 at the devices given as COMn=PATH arguments and every other
# one at a path that does not exist, restarts wine so that its dosdevices follow
# the registry, and checks that every COM port wine made leads to one of those,
# or to /dev/null (wine gives the machine's serial device nodes, /dev/null here,
# the numbers after COM8).
map_ports() {
    local n target reg=$scratch/ports.reg link ok=no
    declare -A wanted=()
    for pair in "$@"; do wanted[${pair%%=*}]=${pair#*=}; done
    for n in 1 2 3 4 5 6 7 8; do
        wanted[COM$n]=${wanted[COM$n]:-$scratch/no-such-port/COM$n}
    done
    {
        printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
        for n in 1 2 3 4 5 6 7 8; do printf '"COM%s"="%s"\r\n' "$n" "${wanted[COM$n]}"; done
    } >"$reg"
    wine regedit /S "$reg" >/dev/null 2>&1 || fail "regedit"
    wineserver --kill
    # The next start of wine makes the dosdevices links anew.
    wine cmd /c exit >/dev/null 2>&1
    for _ in $(seq 50); do
        ok=yes
        for n in 1 2 3 4 5 6 7 8; do
            [ "$(readlink "$WINEPREFIX/dosdevices/com$n")" = "${wanted[COM$n]}" ] || ok=no
        done
        [ "$ok" = yes ] && break
        sleep 0.2
    done
    for link in "$WINEPREFIX"/dosdevices/com*; do
        target=$(readlink "$link")
        n=${link##*/com}
        if [ "$n" -le 8 ]; then
            [ "$target" = "${wanted[COM$n]}" ] || fail "com$n leads to $target, not ${wanted[COM$n]}"
        elif [ "$(stat -L -c %t:%T "$target" 2>/dev/null)" != "$(stat -c %t:%T /dev/null)" ]; then
            fail "com$n leads to $target, which is not /dev/null here"
        fi
    done
}

# Starts an echoing board (tools/desktop_session.sh, tools/pty_board.py) in
# the folder $scratch/$1, and leaves its pseudo-terminal's name in the
# variable named $1_pty.
start_board() {
    start_echoing_board "$scratch/$1"
    board_pids+=("$echo_pid")
    echo_pid=''
    printf -v "$1_pty" '%s' "$pty"
}

# The bytes board $1 has received, as lower-case hexadecimal pairs.
board_line() {
    od -An -v -tx1 "$scratch/$1/line" 2>/dev/null | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# The XON and XOFF characters of board $1's line as hexadecimal pairs ("11 13"),
# after setting them to the pair $2 when given.
board_chars() {
    rm -f "$scratch/$1/chars"
    board_command "$scratch/$1" "chars ${2:-}"
    for _ in $(seq 50); do
        [ -f "$scratch/$1/chars" ] && break
        sleep 0.1
    done
    cat "$scratch/$1/chars" 2>/dev/null
}

# Starts the Windows program $1 under wine with the given environment
# additions (NAME=VALUE ...), its output in $scratch/program.log.
start_program() {
    local exe=$1
    shift
    env "$@" wine "$exe" >"$scratch/program.log" 2>&1 &
    program_pid=$!
}

# Ends every wine process of the prefix, the program's with them.
stop_wine() {
    # Never another prefix than this run's own.
    [[ "${WINEPREFIX:-}" == "$scratch"/* ]] || return 0
    wineserver --kill 2>/dev/null || true
    [ -z "${program_pid:-}" ] || wait "$program_pid" 2>/dev/null || true
    program_pid=
}

# Leaves in $window the id of the visible window whose name matches $1, waiting up to $2 seconds.
wait_for_window() {
    local deadline=$((SECONDS + $2))
    window=
    while [ -z "$window" ] && [ "$SECONDS" -lt "$deadline" ]; do
        window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
        [ -n "$window" ] || sleep 0.3
    done
    [ -n "$window" ]
}

# Gives the keysym $1 (such as U4E2D for 中) a key of its own on the X
# keyboard, a second before it is typed: wine reads the keyboard map anew when
# the X server announces a change, and a key remapped just as it is pressed
# (xdotool's way with a character the keyboard lacks) can reach wine first.
map_key() {
    local code
    code=$(xmodmap -pke | awk 'NF == 3 && $1 == "keycode" {print $2; exit}')
    [ -n "$code" ] || fail "no free key code for $1"
    xmodmap -e "keycode $code = $1"
    sleep 1
}

# Clicks at ($2, $3) inside window $1 (its client area's pixels at scale 1).
click_at() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}

# What a control of window $1 at ($2, $3) holds, as Ctrl+A Ctrl+C copies it to
# the clipboard; empty if nothing was copied within 5 seconds.
copy_from() {
    local sentinel="rs232-nothing-copied-$RANDOM$RANDOM" text
    printf '%s' "$sentinel" | xclip -selection clipboard -i
    click_at "$1" "$2" "$3"
    xdotool key --clearmodifiers ctrl+a ctrl+c
    for _ in $(seq 25); do
        text=$(xclip -selection clipboard -o -t UTF8_STRING 2>/dev/null || true)
        if [ "$text" != "$sentinel" ]; then
            printf '%s' "$text"
            return 0
        fi
        sleep 0.2
    done
}

# Waits up to 15 seconds for the control of window $1 at ($2, $3) to hold $4
# exactly; leaves what it last held in $copied.
expect_text() {
    local deadline=$((SECONDS + 15))
    while :; do
        copied=$(copy_from "$1" "$2" "$3")
        [ "$copied" = "$4" ] && return 0
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.5
    done
}

# The colour of a lamp: the mean of the $3 x $4 pixels at ($1, $2) of the screen,
# named red, green or grey.
lamp_colour() {
    local rgb r g b
    rgb=$(import -window root -crop "$3x$4+$1+$2" +repage png:- \
        | convert png:- -scale '1x1!' -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:)
    read -r r g b <<<"$rgb"
    if [ "$r" -gt $((g + 40)) ] && [ "$r" -gt $((b + 40)) ]; then
        echo red
    elif [ "$g" -gt $((r + 40)) ] && [ "$g" -gt $((b + 40)) ]; then
        echo green
    else
        echo "grey ($rgb)"
    fi
}

# Processor time, in clock ticks, of every process of this wine prefix (the
# program, wineserver and wine's services).
wine_cpu_ticks() {
    local pid total=0 stat fields
    for pid in /proc/[0-9]*; do
        { tr '\0' '\n' <"$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX"; } 2>/dev/null || continue
        total=$((total + $(process_ticks "${pid#/proc/}")))
    done
    echo "$total"
}

# Processor time, in clock ticks, of process $1 (0 once it is gone).
process_ticks() {
    local stat fields
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
    # The fields after the command name, whose brackets may hold spaces.
    read -r -a fields <<<"${stat##*) }"
    echo $((fields[11] + fields[12]))
}

# The receive box's text, copied through its context menu (全选, then 复制):
# keys typed into it would go out on the line, as in the send box.
copy_received() {
    printf 'none' | xclip -selection clipboard -i
    xdotool mousemove --window "$window" "${RECEIVE_BOX[@]}" click 3
    sleep 0.7
    xdotool key Up Return # the last item, 全选
    sleep 0.5
    xdotool mousemove --window "$window" "${RECEIVE_BOX[@]}" click 3
    sleep 0.7
    xdotool key Down Return # the first, 复制
    for _ in $(seq 25); do
        sleep 0.2
        [ "$(xclip -selection clipboard -o -t UTF8_STRING 2>/dev/null | head -c 4)" != none ] && break
    done
    xclip -selection clipboard -o -t UTF8_STRING 2>/dev/null
}

# Waits up to 15 seconds for the receive box to hold $1 exactly; leaves what
# it last held in $copied.
expect_received() {
    local deadline=$((SECONDS + 15))
    while :; do
        copied=$(copy_received)
        [ "$copied" = "$1" ] && return 0
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.5
    done
}

# Saves a picture of window $1 as $RS232_WINE_SHOTS/$2 when that folder is set.
shoot() {
    [ -n "${RS232_WINE_SHOTS:-}" ] || return 0
    mkdir -p "$RS232_WINE_SHOTS"
    import -window "$1" "$RS232_WINE_SHOTS/$2" 2>/dev/null && echo "   picture: $RS232_WINE_SHOTS/$2"
}
