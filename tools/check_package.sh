#!/usr/bin/env bash
# Checks installing and packaging: install rules, desktop entry, AppStream data, .deb, installed program.
#
# Builds rs232test (Release) in build-package/, installs it into a scratch
# DESTDIR and validates what was installed, builds the .deb with CPack, installs
# that with dpkg into a scratch root (the machine's own package database is not
# touched; the package's dependencies are checked against the machine), then
# starts the installed program on an X server of its own (Xvfb), waits for its
# window and closes it.
#
# The program opens COM1 as it starts, so it runs in a private mount namespace
# in which every serial device node is a pseudo-terminal with an echoing other
# end: the machine's real serial ports are never opened. Needs root, or
# unprivileged user namespaces. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly APP_ID=org.example.rs232test
readonly TITLE='RS-232串行通信测试程序'
readonly WARNING_TITLE='警告'
readonly BUILD_DIR=build-package

fail() {
    echo "check_package: FAILED: $*" >&2
    exit 1
}

step() {
    echo "-- $*"
}

for tool in cmake cpack desktop-file-validate appstreamcli dpkg-deb dpkg-checkbuilddeps \
            dpkg-shlibdeps file Xvfb xauth xdotool python3 unshare; do
    command -v "$tool" >/dev/null \
        || fail "$tool is missing (see BUILD_PACKAGES and TEST_PACKAGES in tools/packages.sh)"
done

. tools/desktop_session.sh
stage=$scratch/stage
root=$scratch/root

# Asks the window $1 to close, as a window manager does (WM_DELETE_WINDOW).
close_window() {
    python3 - "$1" <<'EOF'
import ctypes, sys

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                           ctypes.c_void_p]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]


display = x11.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
event = XEvent()
event.xclient.type = 33  # ClientMessage
event.xclient.window = int(sys.argv[1])
event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.xclient.format = 32
event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
x11.XSendEvent(display, event.xclient.window, 0, 0, ctypes.byref(event))
x11.XFlush(display)
x11.XCloseDisplay(display)
EOF
}

program_failed() {
    echo "   program output:" >&2
    sed 's/^/   | /' "$scratch/program.log" >&2
    fail "$@"
}

step "configure (Release) in $BUILD_DIR/"
# Installing and packaging then need only the program, not everything.
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    >"$scratch/configure.log" || { cat "$scratch/configure.log"; fail "configure"; }

step "build rs232test"
cmake --build "$BUILD_DIR" --target rs232test -j"$(nproc)" >"$scratch/build.log" 2>&1 \
    || { tail -n 50 "$scratch/build.log"; fail "build"; }

step "install into a scratch DESTDIR"
DESTDIR=$stage cmake --install "$BUILD_DIR" --prefix /usr >/dev/null
installed=(
    usr/bin/rs232test
    "usr/share/applications/$APP_ID.desktop"
    "usr/share/metainfo/$APP_ID.metainfo.xml"
    "usr/share/icons/hicolor/32x32/apps/$APP_ID.png"
    "usr/share/icons/hicolor/scalable/apps/$APP_ID.svg"
)
for file in "${installed[@]}"; do
    [ -f "$stage/$file" ] || fail "not installed: /$file"
    echo "   /$file"
done
[ -x "$stage/usr/bin/rs232test" ] || fail "/usr/bin/rs232test is not executable"

step "validate the desktop entry (desktop-file-validate)"
desktop-file-validate "$stage/usr/share/applications/$APP_ID.desktop" || fail "desktop entry"

step "validate the AppStream metainfo (appstreamcli, no network)"
appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/$APP_ID.metainfo.xml" \
    || fail "metainfo"
appstreamcli validate-tree --no-net "$stage" || fail "installed tree"

step "build the Debian package (cpack -G DEB)"
rm -f "$BUILD_DIR"/rs232test_*.deb
(cd "$BUILD_DIR" && cpack -G DEB) >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; fail "cpack"; }
debs=("$BUILD_DIR"/rs232test_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no rs232test_*.deb"
deb=${debs[0]}
echo "   $deb"

step "check the package's control fields"
for field in Package Version Architecture Section Maintainer Depends; do
    echo "   $field: $(dpkg-deb --field "$deb" "$field")"
done
depends=$(dpkg-deb --field "$deb" Depends)
[ "$(dpkg-deb --field "$deb" Section)" = electronics ] || fail "section is not electronics"
for needed in fonts-wqy-microhei libqt6widgets6 libqt6serialport6; do
    grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed"
done
# The pictures are drawn in code: Qt SVG is not needed (Windows has none).
! grep -Eq "(^|, )libqt6svg6( |,|$)" <<<"$depends" || fail "Depends names libqt6svg6"
# dpkg-checkbuilddeps reports any dependency this machine does not satisfy.
dpkg-checkbuilddeps -d "$depends" /dev/null 2>"$scratch/depends.log" \
    || { cat "$scratch/depends.log"; fail "dependencies not satisfied on this machine"; }
echo "   all dependencies are installed on this machine"

step "install the package with dpkg into a scratch root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The scratch root's database is empty: the dependencies were checked above.
dpkg --root="$root" --force-depends --force-not-root -i "$deb" >"$scratch/dpkg.log" 2>&1 \
    || { cat "$scratch/dpkg.log"; fail "dpkg -i"; }
for file in "${installed[@]}"; do
    [ -f "$root/$file" ] || fail "not in the package: /$file"
done
[ -x "$root/usr/bin/rs232test" ] || fail "/usr/bin/rs232test is not executable in the package"
desktop-file-validate "$root/usr/share/applications/$APP_ID.desktop" || fail "packaged desktop entry"
appstreamcli validate-tree --no-net "$root" >/dev/null || fail "packaged metainfo"
echo "   $(dpkg --root="$root" --list rs232test | tail -n1 | tr -s ' ')"

step "start the installed program under Xvfb, COM1 being a pseudo-terminal"
start_xvfb
start_echoing_board
echo "   display $DISPLAY, COM1 stand-in $pty"
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR=$scratch/runtime
start_with_stand_in_ports "$pty" "$root/usr/bin/rs232test"

# The window exists, unmapped, from the start; only once it is visible has it
# appeared. If COM1 cannot be opened here, a warning box comes first.
window=
deadline=$((SECONDS + 30))
while [ -z "$window" ]; do
    kill -0 "$program_pid" 2>/dev/null || program_failed "the program exited before its window appeared"
    [ "$SECONDS" -lt "$deadline" ] || program_failed "no window within 30 s"
    box=$(xdotool search --onlyvisible --name "^${WARNING_TITLE}\$" 2>/dev/null | head -n1 || true)
    if [ -n "$box" ]; then
        echo "   COM1 could not be opened in the sandbox: warning box shown, dismissing it"
        xdotool windowfocus --sync "$box" key Return
        sleep 0.5
        continue
    fi
    window=$(timeout 1 xdotool search --sync --onlyvisible --name "$TITLE" 2>/dev/null \
             | head -n1 || true)
done
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "   window $window: ${WIDTH}x${HEIGHT} at ${X},${Y}: \"$(xdotool getwindowname "$window")\""
[ "${WIDTH}x${HEIGHT}" = 529x365 ] || fail "the window is ${WIDTH}x${HEIGHT}, not 529x365"

step "close the installed program"
sleep 1
kill -0 "$program_pid" 2>/dev/null || program_failed "the program exited after its window appeared"
close_window "$window"
for _ in $(seq 50); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$program_pid" 2>/dev/null && program_failed "the program did not quit when its window was closed"
status=0
wait "$program_pid" || status=$?
program_pid=
[ "$status" -eq 0 ] || program_failed "the program exited with status $status"
echo "   closed; exit status 0"

echo "-- install and package: OK"
