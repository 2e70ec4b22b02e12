#!/usr/bin/env bash
# Tests the Windows build under wine; prints "N passed, M failed" last and exits non-zero on any failure.
#
# Needs the packages of tools/windows/build.sh, which it does not run. Checks:
#  - the ZIP: its files, every DLL they import present or Windows' own, the version resource,
#    the manifest, the program's and the installer's icons in every size;
#  - the cross-built tests (build-windows/, CTest with wine as the emulator): the
#    logic, and the serial line on a board behind COM3 that it hangs up;
#  - the program unpacked from the ZIP, with COM1 and COM2 on echoing boards
#    (tools/pty_board.py), COM1 reporting XON and XOFF alike: the status line
#    and the line's own XON and XOFF, keys on the line with their
#    codes shown, the echo shown, the relay and its lamp, clearing, a 1 MB flood
#    arriving whole (with the processor time it took, printed), switching to
#    COM2, the board hanging up and a new one in its place opened by itself,
#    closing the window;
#  - a German Windows (code page 1252), the program in C:\测试 目录, the
#    display at 150 %: the window 1.5 times its size, 中 sent as D6 D0 and
#    shown as -10544 and D6D0H, the status line, the lamp;
#  - the warning box when COM1 does not exist;
#  - the installer run silently (/S): over an older version's installation
#    (packed by CPack from the same build), which it replaces; the installed
#    program starting; setup and the uninstaller refusing while it runs; the
#    uninstaller.
# Controls are read the way a user would copy them: a click, Ctrl+A, Ctrl+C,
# then the X clipboard (wine shares it); lamps by the colour of their pixels.
#
# Everything runs in a private mount namespace (root, or unprivileged user
# namespaces) in which every serial device node of the machine is /dev/null and
# the lock folder is empty, with a wine prefix, X server and home of its own in
# a scratch folder removed afterwards; COM ports not on a board lead to a path
# that does not exist. RS232_WINE_SHOTS=DIR keeps pictures of the window there.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1

readonly BUILD_DIR=build-windows
readonly TITLE='RS-232串行通信测试程序'
readonly WARNING_TITLE='警告'
readonly OPENED='打开成功！ 波特率：9600bps'
readonly FLOOD_BYTES=1048576
# Where the controls are, in the window's pixels at scale 1 (app/control_table.cpp, twips / 15).
readonly SEND_BOX=(312 88) RECEIVE_BOX=(312 248) STATUS_BOX=(250 345) PORT_LIST=(100 346)
readonly KEY_BOX=(84 41) DECIMAL_BOX=(84 73) HEX_BOX=(84 105)
readonly RELAY_BUTTON=(48 136) CLEAR_BUTTON=(56 292) LAMP=(88 128 17 16)

if [ "${1:-}" != --in-sandbox ]; then
    zip=$(find "$BUILD_DIR" -maxdepth 1 -name 'rs232test-*-win64.zip' | head -n1)
    setup=$(find "$BUILD_DIR" -maxdepth 1 -name 'rs232test-*-win64-setup.exe' | head -n1)
    if [ -z "$zip" ] || [ -z "$setup" ]; then
        echo "No Windows build in $BUILD_DIR/: run tools/windows/build.sh first."
        echo "0 passed, 1 failed"
        exit 1
    fi
    . tools/packages.sh
    ensure_packages wine wine64 xvfb xauth xdotool xclip x11-utils x11-xserver-utils imagemagick \
        openbox python3 unzip binutils-mingw-w64-x86-64 cmake icoutils nsis
    userns=()
    [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
    exec unshare --mount "${userns[@]}" "$0" --in-sandbox "$zip" "$setup"
fi
zip=$2 setup=$3

passed=0 failed=0
pass() {
    passed=$((passed + 1))
    echo "PASS  $*"
}
not_ok() {
    failed=$((failed + 1))
    echo "FAIL  $*"
}
# A check that cannot go on: counted, then the run ends.
fail() {
    not_ok "$*"
    exit 1
}

# The machine's serial ports out of reach: /dev/null in their place, and a lock folder of our own.
mount -t tmpfs -o mode=1777 tmpfs /run/lock || fail "no private /run/lock"
for node in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/ttyAMA* /dev/rfcomm*; do
    [ -c "$node" ] || continue
    mount --bind /dev/null "$node" || fail "cannot put /dev/null over $node"
done
unset QT_QPA_PLATFORM QT_PLUGIN_PATH QT_SCALE_FACTOR WINEPATH

. tools/desktop_session.sh
. tools/windows/wine_session.sh
board_pids=() openbox_pid='' program_pid=''
finish() {
    stop_wine
    local pid
    for pid in "${board_pids[@]}" "$openbox_pid" "$xvfb_pid"; do
        [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$scratch"
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ] || exit 1
}
trap finish EXIT

# Runs "${@:2}" and counts it as the check named $1.
check() {
    local name=$1
    shift
    if "$@"; then pass "$name"; else not_ok "$name"; fi
}

echo "== the ZIP: $zip ($(stat -c %s "$zip") bytes)"
unzip -q "$zip" -d "$scratch/zip" || fail "unzip"
app=$(dirname "$(ls "$scratch"/zip/*/rs232test.exe)")
zip_holds_everything() {
    local file absent=0
    for file in rs232test.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
                styles/qwindowsvistastyle.dll libstdc++-6.dll libgcc_s_seh-1.dll \
                libwinpthread-1.dll LICENSE.txt THIRD-PARTY-NOTICES.txt licenses/LGPL-3.0.txt \
                licenses/GPL-3.0.txt; do
        [ -s "$app/$file" ] || { echo "   missing: $file"; absent=1; }
    done
    grep -q 'GNU LESSER GENERAL PUBLIC LICENSE' "$app/licenses/LGPL-3.0.txt" || absent=1
    return "$absent"
}
check "ZIP holds the program, Qt's DLLs and plugins, the runtime and the licences" \
    zip_holds_everything
# Each DLL any of them imports is in the ZIP, or one of Windows' own: those wine
# provides, and the API sets (api-ms-win-*) the loader of Windows 10 resolves.
imports_resolved() {
    local file dll unresolved=0
    local windows_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
    while IFS= read -r -d '' file; do
        for dll in $(x86_64-w64-mingw32-objdump -p "$file" | awk '/DLL Name:/ {print $3}'); do
            [ -n "$(find "$app" -maxdepth 1 -iname "$dll")" ] && continue
            [ -n "$(find "$windows_dlls" -maxdepth 1 -iname "$dll")" ] && continue
            [[ "${dll,,}" == api-ms-win-* ]] && continue
            echo "   ${file#"$app"/} imports $dll, which is neither in the ZIP nor Windows'"
            unresolved=1
        done
    done < <(find "$app" \( -iname '*.exe' -o -iname '*.dll' \) -print0)
    return "$unresolved"
}
check "every DLL the program, Qt and the plugins import is in the ZIP or Windows' own" \
    imports_resolved
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD_DIR/CMakeCache.txt")
version_resource() {
    local rc
    rc=$(x86_64-w64-mingw32-windres -i "$app/rs232test.exe" -O rc 2>/dev/null) || return 1
    grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$rc" \
        && grep -q 'BLOCK "080404b0"' <<<"$rc" && grep -q 'BLOCK "040904b0"' <<<"$rc" \
        && grep -q '"FileDescription", L"RS-232\\x4e32\\x884c' <<<"$rc" \
        && grep -q 'RT_GROUP_ICON' <<<"$rc"
}
check "rs232test.exe has its icon and version $version in Chinese and English" version_resource
# The manifest: Windows 10 and 11, the user's own rights, per-monitor scaling
# as Qt sets it itself.
manifest() {
    local xml
    xml=$(wrestool -x --raw -t24 "$app/rs232test.exe" 2>/dev/null) || return 1
    grep -q '<requestedExecutionLevel level="asInvoker"' <<<"$xml" \
        && grep -q 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"' <<<"$xml" \
        && grep -q '<dpiAwareness[^>]*>PerMonitorV2</dpiAwareness>' <<<"$xml"
}
check "rs232test.exe's manifest: Windows 10/11, asInvoker, per-monitor DPI awareness v2" manifest
# The icon sizes of an executable's first icon, in pixels, in order.
icon_sizes() {
    wrestool -x -t14 "$1" 2>/dev/null >"$scratch/icon.ico" || return 1
    icotool -l "$scratch/icon.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' '
}
readonly ICON_SIZES='16 20 24 32 40 48 64 96 256 '
for exe in "$app/rs232test.exe" "$setup"; do
    sizes=$(icon_sizes "$exe")
    check "${exe##*/}'s icon in every size Windows asks for (${sizes% })" test "$sizes" = "$ICON_SIZES"
done

echo "== wine prefix, X server, boards"
start_wine_prefix || fail "wineboot --init"
start_x_session
echo "   wine $(wine --version 2>/dev/null), prefix $WINEPREFIX, display $DISPLAY"
com1_pty='' com2_pty='' com3_pty='' com4_pty='' line_pty=''
start_board com1
start_board com2
start_board line
echo "   COM1: $com1_pty, COM2: $com2_pty, COM3: $line_pty"
map_ports "COM1=$com1_pty" "COM2=$com2_pty" "COM3=$line_pty"
pass "COM1 to COM3 lead to the boards, COM4..COM8 to nothing, no port to the machine's"
# The serial line's own test hangs this board up through its control FIFO.
export RS232_WIN_BOARD_PORT=COM3 RS232_WIN_BOARD_CONTROL="Z:$scratch/line/control"

echo "== logic tests under wine (CTest)"
mapfile -t tests < <(ctest --test-dir "$BUILD_DIR" -N | sed -n 's/^ *Test *#[0-9]*: //p')
[ "${#tests[@]}" -gt 0 ] || not_ok "no tests in $BUILD_DIR"
for test in "${tests[@]}"; do
    if ctest --test-dir "$BUILD_DIR" -R "^${test}\$" --output-on-failure >"$scratch/ctest.log" 2>&1
    then
        pass "$test under wine"
    else
        # Qt Test prints nothing into a pipe under wine: its log, from a file.
        (cd "$BUILD_DIR" && WINEDEBUG=-all QT_QPA_PLATFORM=offscreen wine "./$test.exe" \
            -o "$scratch/testlog.txt,txt" >/dev/null 2>&1)
        grep -v '^PASS' "$scratch/testlog.txt" 2>/dev/null | tail -n 40 | sed 's/^/   | /'
        not_ok "$test under wine"
    fi
done

echo "== the program from the ZIP, COM1 and COM2 on echoing boards"
# COM1's driver reports XON and XOFF as one character, as some virtual and USB
# drivers do, which a port set up with them as reported refuses.
board_chars com1 "13 13" >/dev/null
start_program "$app/rs232test.exe"
if ! wait_for_window "$TITLE" 60; then
    sed 's/^/   | /' "$scratch/program.log"
    fail "no window within 60 s"
fi
window_size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
check "the window shows, $window_size (529x365 on Linux)" test "$window_size" = 529x365
# Where it is on the screen (xdotool's geometry counts the frame twice).
window_x=$(xwininfo -id "$window" | awk '/Absolute upper-left X:/ {print $4}')
window_y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y:/ {print $4}')

check_status() {
    if expect_text "$window" "${STATUS_BOX[@]}" "$1"; then
        pass "status line: \"$1\""
    else
        not_ok "status line: \"$copied\", not \"$1\""
    fi
}
check_status "串口COM1$OPENED"
xon_xoff=$(board_chars com1)
check "COM1 opened with XON and XOFF of its own, DC1 and DC3 ($xon_xoff)" test "$xon_xoff" = "11 13"

# $1 typed into the send box; the board must have received $2 in all (hex pairs).
type_key() {
    click_at "$window" "${SEND_BOX[@]}"
    xdotool type --delay 200 "$1"
    local deadline=$((SECONDS + 10))
    while [ "$(board_line "$3")" != "$2" ] && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
    if [ "$(board_line "$3")" = "$2" ]; then
        pass "$1 typed: the $3 board has received $2"
    else
        not_ok "$1 typed: the $3 board has received \"$(board_line "$3")\", not \"$2\""
    fi
}
# The three code boxes must show $1 (the key), $2 (decimal) and $3 (hexadecimal).
check_codes() {
    check_box "key box" "$1" "${KEY_BOX[@]}"
    check_box "decimal box" "$2" "${DECIMAL_BOX[@]}"
    check_box "hexadecimal box" "$3" "${HEX_BOX[@]}"
}
check_box() {
    if expect_text "$window" "$3" "$4" "$2"; then
        pass "$1 shows \"$2\""
    else
        not_ok "$1 shows \"$copied\", not \"$2\""
    fi
}
check_received() {
    if expect_received "$1"; then
        pass "receive box shows \"$1\""
    else
        not_ok "receive box shows \"$copied\", not \"$1\""
    fi
}

type_key A 41 com1
check_codes A 65 41H
map_key U4E2D
type_key 中 "41 d6 d0" com1
check_codes 中 -10544 D6D0H
check_received A中
shoot "$window" window-wine.png

lamp() {
    lamp_colour $((window_x + LAMP[0])) $((window_y + LAMP[1])) "${LAMP[2]}" "${LAMP[3]}"
}
relay_click() {
    local before=$1 line=$2 colour=$3 now
    click_at "$window" "${RELAY_BUTTON[@]}"
    sleep 0.5
    now=$(lamp)
    if [ "$(board_line com1)" = "$line" ] && [ "$now" = "$colour" ]; then
        pass "relay clicked: board received ...${line: -2}, lamp $before -> $now"
    else
        not_ok "relay clicked: board received \"$(board_line com1)\" (not \"$line\"), lamp $now (not $colour)"
    fi
}
first_lamp=$(lamp)
check "lamp green before the relay is used, as on Linux ($first_lamp)" test "$first_lamp" = green
relay_click green "41 d6 d0 4b" red
shoot "$window" relay-on-wine.png
relay_click red "41 d6 d0 4b 47" green

click_at "$window" "${CLEAR_BUTTON[@]}"
type_key B "41 d6 d0 4b 47 42" com1
check_received B

echo "== a 1 MB flood on COM1"
click_at "$window" "${CLEAR_BUTTON[@]}"
ticks_per_second=$(getconf CLK_TCK)
cpu_before=$(wine_cpu_ticks) program_before=$(process_ticks "$program_pid")
flood_started=$SECONDS
board_command "$scratch/com1" "flood $FLOOD_BYTES"
deadline=$((SECONDS + 120))
while [ ! -f "$scratch/com1/flood.done" ] && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.5; done
# Then until the program has had a second and a half with next to nothing to
# do (its caret blinking): it has taken and shown what the board sent.
deadline=$((SECONDS + 120))
previous=$(process_ticks "$program_pid") quiet=0
while [ "$quiet" -lt 3 ] && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.5
    now=$(process_ticks "$program_pid")
    if [ $((now - previous)) -le $((ticks_per_second / 50)) ]; then quiet=$((quiet + 1)); else quiet=0; fi
    previous=$now
done
cpu_used=$(($(wine_cpu_ticks) - cpu_before)) program_used=$((previous - program_before))
flood_seconds=$((SECONDS - flood_started))
# Should the program still be at it after all, another look a little later.
for _ in 1 2 3; do
    copy_received >"$scratch/received"
    cmp -s <(iconv -f GBK -t UTF-8 "$scratch/com1/flood" | tr -d '\r') \
        <(tr -d '\r' <"$scratch/received") && break
    sleep 5
done
flood_report=$(python3 - "$scratch/com1/flood" "$scratch/received" "$cpu_used" \
    "$ticks_per_second" "$flood_seconds" "$program_used" <<'EOF'
import sys
raw = open(sys.argv[1], "rb").read()
characters = len(raw.decode("gbk"))
# Wine's clipboard turns CR LF into LF for X.
sent = raw.decode("gbk").replace("\r", "")
shown = open(sys.argv[2], "rb").read().decode("utf-8", "replace").replace("\r", "")
ticks, per_second, seconds = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
cpu, own = ticks / per_second, int(sys.argv[6]) / per_second
print(f"{len(raw)} bytes, {characters} characters, taken and shown within {seconds} s: "
      f"wine's processes used {cpu:.2f} s of processor time, {cpu / characters * 1e6:.2f} µs "
      f"per character (the program itself {own:.2f} s, {own / characters * 1e6:.2f} µs)")
if shown == sent:
    print("WHOLE")
else:
    same = next((i for i, (a, b) in enumerate(zip(sent, shown)) if a != b), min(len(sent), len(shown)))
    print(f"NOT WHOLE: {len(shown)} of {len(sent)} characters shown, first difference at {same}")
EOF
)
echo "   flood: $(head -n1 <<<"$flood_report")"
if [ "$(tail -n1 <<<"$flood_report")" = WHOLE ]; then
    pass "1 MB flood shown whole in the receive box"
else
    not_ok "1 MB flood: $(tail -n1 <<<"$flood_report")"
fi

echo "== switching ports and a hang-up"
choose_port() {
    click_at "$window" "${PORT_LIST[@]}"
    sleep 0.5
    xdotool key "$1" Return
    sleep 0.5
}
choose_port Down
check_status "串口COM2$OPENED"
type_key C 43 com2
check "nothing more reached the COM1 board" test "$(board_line com1 | wc -w)" -eq 6
choose_port Up
check_status "串口COM1$OPENED"
board_command "$scratch/com1" hangup
check_status "串口COM1已断开！"
shoot "$window" hung-up-wine.png

echo "== the COM1 board plugged back"
# A new board where COM1's device was, as when an adapter comes back: the
# program opens it again by itself.
start_board com4
back_at=$SECONDS
ln -sfn "$com4_pty" "$WINEPREFIX/dosdevices/com1"
check_status "串口COM1$OPENED"
echo "   COM1 open again, as the status line read, within $((SECONDS - back_at)) s"
type_key D 44 com4

xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4 2>/dev/null
ended=no
for _ in $(seq 50); do
    kill -0 "$program_pid" 2>/dev/null || { ended=yes; break; }
    sleep 0.2
done
check "closing the window ends the program" test "$ended" = yes
stop_wine

echo "== a European Windows, a folder with Chinese and a space, the display at 150 %"
# German: ANSI code page 1252, not 936. Wine takes Windows' locale from the
# Unix one, made here in a folder of the run's own.
mkdir -p "$scratch/locales"
localedef -i de_DE -f UTF-8 "$scratch/locales/de_DE.UTF-8" 2>/dev/null
european=(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 LOCPATH="$scratch/locales")
code_page=$(env "${european[@]}" wine reg query \
    'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null \
    | tr -d '\r' | awk '$1 == "ACP" {print $3}')
check "wine runs as a German Windows (ANSI code page $code_page, not 936)" test "$code_page" = 1252
# 144 dots per inch, what Windows' "150 %" is, read by wine when it starts.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver --wait
far_folder="$WINEPREFIX/drive_c/测试 目录"
mkdir -p "$far_folder"
cp -r "$app" "$far_folder/rs232test"
start_board com5
map_ports "COM1=$com5_pty"
start_program 'C:\测试 目录\rs232test\rs232test.exe' "${european[@]}"
if wait_for_window "$TITLE" 60; then
    pass "the program starts from C:\测试 目录\rs232test"
    # Positions of scale 1 in the window's pixels at 1.5.
    at_scale() { echo $(($1 * 3 / 2)) $(($2 * 3 / 2)); }
    window_size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
    check "the window at 150 % is 1.5 times its size: $window_size (794x548)" \
        test "$window_size" = 794x548
    # shellcheck disable=SC2046 # two numbers
    if expect_text "$window" $(at_scale "${STATUS_BOX[@]}") "串口COM1$OPENED"; then
        pass "status line at 150 %: \"$copied\""
    else
        not_ok "status line at 150 %: \"$copied\", not \"串口COM1$OPENED\""
    fi
    # shellcheck disable=SC2046
    click_at "$window" $(at_scale "${SEND_BOX[@]}")
    map_key U4E2D
    xdotool type --delay 200 中
    deadline=$((SECONDS + 10))
    while [ "$(board_line com5)" != "d6 d0" ] && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
    check "中 typed on a German Windows: the board has received \"$(board_line com5)\" (d6 d0)" \
        test "$(board_line com5)" = "d6 d0"
    # shellcheck disable=SC2046
    for box in "-10544 $(at_scale "${DECIMAL_BOX[@]}")" "D6D0H $(at_scale "${HEX_BOX[@]}")"; do
        read -r wanted x y <<<"$box"
        if expect_text "$window" "$x" "$y" "$wanted"; then
            pass "code box at 150 % shows \"$wanted\""
        else
            not_ok "code box at 150 % shows \"$copied\", not \"$wanted\""
        fi
    done
    window_x=$(xwininfo -id "$window" | awk '/Absolute upper-left X:/ {print $4}')
    window_y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y:/ {print $4}')
    # shellcheck disable=SC2046
    read -r lamp_x lamp_y <<<"$(at_scale "${LAMP[0]}" "${LAMP[1]}")"
    scaled_lamp=$(lamp_colour $((window_x + lamp_x)) $((window_y + lamp_y)) 25 24)
    check "lamp at 150 %: $scaled_lamp (green)" test "$scaled_lamp" = green
    shoot "$window" window-wine-150.png
else
    not_ok "no window from C:\测试 目录 at 150 % within 60 s"
fi
stop_wine
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
wineserver --wait

echo "== COM1 missing"
map_ports "COM2=$com2_pty"
start_program "$app/rs232test.exe"
if wait_for_window "^$WARNING_TITLE\$" 60; then
    shoot "$window" warning-wine.png
    printf 'none' | xclip -selection clipboard -i
    xdotool windowactivate --sync "$window" key --clearmodifiers ctrl+c
    sleep 1
    warning=$(xclip -selection clipboard -o -t UTF8_STRING 2>/dev/null)
    check "the warning box says the port cannot be opened" grep -q 'RS232串口无法打开！' <<<"$warning"
    xdotool key --clearmodifiers Return
    if wait_for_window "$TITLE" 30; then
        check_status "串口COM1打开失败！"
    else
        not_ok "no window after the warning box"
    fi
else
    not_ok "no warning box within 60 s"
fi
stop_wine

echo "== the installer: $setup ($(stat -c %s "$setup") bytes)"
start_board com3
map_ports "COM1=$com3_pty"
installed="$WINEPREFIX/drive_c/Program Files/rs232test"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$TITLE"
readonly UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\rs232test'

# Runs setup or an uninstaller ("$@") under wine, its status left in $status;
# one that waits for an answer nobody gives is ended after two minutes (124).
run_setup() {
    timeout 120 wine "$@" >>"$scratch/setup.log" 2>&1
    status=$?
}
registered_version() {
    wine reg query "$UNINSTALL_KEY" /v DisplayVersion 2>/dev/null | tr -d '\r' \
        | awk '$1 == "DisplayVersion" {print $3}'
}
registered() {
    wine reg query "$UNINSTALL_KEY" /v UninstallString >/dev/null 2>&1
}

# An older version's installer, packed by CPack from the same build without
# building anything: the files of the ZIP, and a folder the current version
# does not have.
readonly OLD_VERSION=0.9.0
mkdir -p "$scratch/old-only/notes"
echo "Only in $OLD_VERSION." >"$scratch/old-only/notes/old.txt"
cpack -G NSIS -C Release --config "$BUILD_DIR/CPackConfig.cmake" -B "$scratch/old-setup" \
    -D CPACK_PACKAGE_VERSION=$OLD_VERSION -D CPACK_PACKAGE_FILE_NAME=rs232test-$OLD_VERSION-win64 \
    -D "CPACK_NSIS_PACKAGE_NAME=$TITLE $OLD_VERSION" -D CPACK_INSTALL_CMAKE_PROJECTS= \
    -D "CPACK_INSTALLED_DIRECTORIES=$app;.;$scratch/old-only;." >"$scratch/cpack-old.log" 2>&1
old_setup=$scratch/old-setup/rs232test-$OLD_VERSION-win64-setup.exe
[ -f "$old_setup" ] || { sed 's/^/   | /' "$scratch/cpack-old.log"; fail "no $OLD_VERSION installer"; }
run_setup "$old_setup" /S
wineserver --wait
old_installed() {
    [ "$status" -eq 0 ] && [ "$(registered_version)" = "$OLD_VERSION" ] \
        && [ -s "$installed/notes/old.txt" ] && [ -s "$installed/rs232test.exe" ]
}
check "version $OLD_VERSION installed (/S) with its notes/old.txt" old_installed

run_setup "$setup" /S
wineserver --wait
check "silent install (/S) of $version over $OLD_VERSION ends with status 0" test "$status" -eq 0
check "the Apps entry gives version $version" test "$(registered_version)" = "$version"
# Every entry of the programs list, in the 64-bit and the 32-bit registry.
apps_entries() {
    local view
    for view in Software Software\\Wow6432Node; do
        wine reg export "HKLM\\$view\\Microsoft\\Windows\\CurrentVersion\\Uninstall" \
            "Z:$scratch/apps.reg" /y >/dev/null 2>&1 || continue
        iconv -f UTF-16 -t UTF-8 "$scratch/apps.reg" | tr -d '\r' | grep -c "^\"DisplayName\"=\"$TITLE\"\$"
    done | awk '{n += $1} END {print n + 0}'
}
apps=$(apps_entries)
check "one entry for the program in Windows' programs list ($apps)" test "$apps" -eq 1
# The program's shortcuts in every Start menu of the prefix: one to start it, one to remove it.
shortcuts() {
    find "$WINEPREFIX/drive_c" -path '*/Start Menu/*' -iname "*$TITLE*.lnk" -printf '%f\n'
}
one_shortcut() {
    [ "$(shortcuts | grep -cx "$TITLE.lnk")" -eq 1 ] && [ "$(shortcuts | wc -l)" -eq 2 ]
}
check "one Start-menu shortcut to the program, one to its uninstaller" one_shortcut
check "no file of $OLD_VERSION left: notes/ gone" test ! -e "$installed/notes"
installed_files() {
    local file
    for file in rs232test.exe Qt6Widgets.dll platforms/qwindows.dll Uninstall.exe LICENSE.txt; do
        [ -s "$installed/$file" ] || { echo "   not installed: $file"; return 1; }
    done
}
check "installed into Program Files with the uninstaller" installed_files
check "Start-menu entry" test -s "$start_menu/$TITLE.lnk"
check "registered with Windows' programs list" registered

start_program "$installed/rs232test.exe"
if wait_for_window "$TITLE" 60; then
    pass "the installed program starts"
    check_status "串口COM1$OPENED"
else
    not_ok "the installed program shows no window within 60 s"
fi
# Every installed file with its inode, change time and size: replaced,
# rewritten, added or removed, one of them differs.
installed_state() {
    find "$installed" -printf '%P %i %C@ %s\n' | sort
}
before=$(installed_state)
unchanged() {
    [ "$status" -ne 0 ] && [ "$status" -ne 124 ] && [ "$(installed_state)" = "$before" ] \
        && [ "$(registered_version)" = "$version" ]
}
run_setup "$setup" /S
check "setup (/S) while the program runs: status $status, not 0, and nothing changed" unchanged
# In place (_?=), so that the status is the uninstaller's own: started as it
# is, it hands over to a copy of itself in the temporary folder and returns 0
# at once. It reads _?= to the end of the command line, unquoted, and wine
# quotes an argument that holds a space: the folder in two arguments gives
# the same command line.
run_setup "$installed/Uninstall.exe" /S '_?=C:\Program' 'Files\rs232test'
check "the uninstaller (/S) while the program runs: status $status, not 0, and nothing changed" \
    unchanged
check "the program still runs" kill -0 "$program_pid"
stop_wine

run_setup "$installed/Uninstall.exe" /S
wineserver --wait
uninstalled() {
    [ ! -e "$installed/rs232test.exe" ] && [ ! -e "$installed/Qt6Core.dll" ] \
        && [ ! -e "$start_menu" ] \
        && ! registered
}
check "the uninstaller (/S) removes the program, its Start-menu entry and registration" uninstalled
