#!/usr/bin/env bash
# The window under a dark desktop theme, against the same window with no
# theme: every text's contrast, measured from a screenshot in the places AT-SPI
# gives for the controls (tests/text_contrast.py), is at least what it is
# without the theme and never below 3:1; the warning box keeps the light
# palette too. Each run on an X server (Xvfb), D-Bus session and lock folder
# of its own, with COM1 a pseudo-terminal that echoes.
#   THEME: gtk3-adwaita-dark (Qt's GTK 3 platform theme, GTK_THEME=Adwaita:dark)
#          qt6ct-darker      (qt6ct with its "darker" colour scheme)
# RS232_SHOTS=FOLDER keeps the screenshots there.
# usage: test_dark_theme.sh THEME PROGRAM      (exit status 77: cannot run here)
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 THEME PROGRAM" >&2; exit 2; }
theme=$1
program=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
readonly TITLE='RS-232串行通信测试程序'
readonly MIN_CONTRAST=3.0

fail() {
    echo "test_dark_theme ($theme): FAILED: $*" >&2
    [ -f "${scratch:-}/program.log" ] && sed 's/^/   | /' "$scratch/program.log" >&2
    exit 1
}

. "$here/../tools/desktop_checks.sh"
require_tools Xvfb xauth xdotool xmessage import dbus-run-session python3
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: no python3-pyatspi"; exit 77; }
case $theme in
gtk3-adwaita-dark) plugin=libqgtk3.so ;;
qt6ct-darker) plugin=libqt6ct.so ;;
*) echo "unknown theme $theme" >&2; exit 2 ;;
esac
plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
[ -f "$plugins/platformthemes/$plugin" ] || { echo "skipped: no $plugin"; exit 77; }

if [ -z "${RS232_THEME_TEST_BUS:-}" ]; then
    export RS232_THEME_TEST_BUS=1
    exec dbus-run-session -- "$0" "$@"
fi

. "$here/../tools/desktop_session.sh"
use_own_folders
mkdir "$XDG_CONFIG_HOME/qt6ct"
cat >"$XDG_CONFIG_HOME/qt6ct/qt6ct.conf" <<CONF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
CONF
export QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORMTHEME GTK_THEME QT_STYLE_OVERRIDE

start_xvfb
# The accessibility bus, started through D-Bus, keeps its socket in this
# run's folders and names this run's X server, not those of another run.
dbus-update-activation-environment DISPLAY XAUTHORITY XDG_CONFIG_HOME XDG_DATA_HOME \
    XDG_CACHE_HOME XDG_RUNTIME_DIR || fail "cannot pass the environment to D-Bus"
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null || fail "the accessibility bus (at-spi2-core) did not start"
start_echoing_board
xdotool mousemove 0 0

# Runs the program under the theme $1 (none, or this test's), types "A" so
# that the code boxes and the receive box hold text, and leaves the window's
# contrast table in $scratch/$1.txt and its picture in $scratch/$1.ppm.
measure_window() {
    local label=$1 window
    run_themed "$label" "$pty"
    window=$(timeout 30 xdotool search --sync --onlyvisible --name "$TITLE" | head -n 1) \
        || fail "the window did not appear ($label)"
    sleep 0.5
    xdotool mousemove --window "$window" 480 140 click 1
    sleep 0.3
    xdotool type --delay 80 A
    for _ in $(seq 50); do
        [ -s "$scratch/line" ] && break
        sleep 0.1
    done
    # Another window takes the focus, so that no blinking caret is in the
    # picture; it stays in the corner, clear of the program's window.
    xmessage -geometry +0+0 other >/dev/null 2>&1 &
    local other_pid=$! other
    other=$(timeout 20 xdotool search --sync --onlyvisible --classname xmessage | head -n 1) \
        || fail "the other window did not appear"
    xdotool windowfocus --sync "$other"
    xdotool mousemove 0 0
    sleep 0.7
    shoot root "$scratch/$label" "window-$label"
    kill "$other_pid"
    # Registering with the accessibility bus can time out on a loaded machine.
    local tries=0
    until /usr/bin/python3 "$here/text_contrast.py" rs232test "$scratch/$label.ppm" \
            >"$scratch/$label.txt" 2>"$scratch/contrast.log"; do
        tries=$((tries + 1))
        [ "$tries" -lt 3 ] || { cat "$scratch/contrast.log" >&2; fail "no contrast table ($label)"; }
        sleep 1
    done
    stop_program
    : >"$scratch/line"
}

# The warning box (COM1 cannot be opened): its picture in $scratch/$1-box.ppm.
shoot_warning() {
    local label=$1 box
    run_themed "$label" /dev/null
    box=$(timeout 30 xdotool search --sync --onlyvisible --name '^警告$' | head -n 1) \
        || fail "the warning box did not appear ($label)"
    sleep 0.7
    shoot "$box" "$scratch/$label-box" "warning-$label"
    stop_program
}

run_themed() {
    if [ "$1" = none ]; then
        start_with_stand_in_ports "$2" "$program"
    elif [ "$theme" = gtk3-adwaita-dark ]; then
        QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark start_with_stand_in_ports "$2" "$program"
    else
        QT_QPA_PLATFORMTHEME=qt6ct start_with_stand_in_ports "$2" "$program"
    fi
}

stop_program() {
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=''
}

# Takes a picture of window $1 (or root) as $2.ppm, and into $RS232_SHOTS as $3.png.
shoot() {
    import -window "$1" -depth 8 "$2.ppm"
    [ -z "${RS232_SHOTS:-}" ] || { mkdir -p "$RS232_SHOTS" && import -window "$1" "$RS232_SHOTS/$3.png"; }
}

measure_window none
measure_window "$theme"
[ "$(wc -l <"$scratch/none.txt")" -ge 12 ] || { cat "$scratch/none.txt"; fail "too few texts measured"; }

echo "   control            default   $theme"
failed=0
while IFS=$'\t' read -r name plain _ _; do
    dark=$(awk -F'\t' -v n="$name" '$1 == n {print $2}' "$scratch/$theme.txt")
    verdict=ok
    if [ -z "$dark" ]; then
        verdict="not found"
    elif awk -v d="$dark" -v p="$plain" -v m="$MIN_CONTRAST" \
            'BEGIN {exit !(d + 0.05 < p || d < m)}'; then
        verdict="LOWER"
    fi
    printf '   %-16s %6s:1 %8s:1  %s\n' "$name" "$plain" "${dark:--}" "$verdict"
    [ "$verdict" = ok ] || failed=1
done <"$scratch/none.txt"
[ "$failed" -eq 0 ] || { sed 's/^/   none   | /' "$scratch/none.txt"; sed "s/^/   $theme | /" "$scratch/$theme.txt"; fail "a text lost contrast under $theme"; }

# The warning box: its face is the window's button face, whatever the theme.
shoot_warning "$theme"
face=$(/usr/bin/python3 - "$scratch/$theme-box.ppm" <<'PY'
import collections, sys
sys.path.insert(0, sys.argv[0] and ".")
data = open(sys.argv[1], "rb").read()
parts = data.split(maxsplit=4)
w, h = int(parts[1]), int(parts[2])
pixels = parts[4]
counts = collections.Counter(pixels[i:i + 3] for i in range(0, w * h * 3, 3))
print("%d,%d,%d" % tuple(counts.most_common(1)[0][0]))
PY
)
echo "   warning box face: ($face)"
[ "$face" = 240,240,240 ] || fail "the warning box's face is ($face), not the window's (240,240,240)"
echo "-- dark theme $theme: OK"
