# Shared by run.sh and test.sh: installs the Debian packages the project needs,
# or, without root, prints the exact command that does.
# usage: ensure_packages PACKAGE...
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "Some packages are missing. Install them with:" >&2
        echo "  sudo apt-get install ${missing[*]}" >&2
        exit 1
    fi
}

# What building the program needs (libxcb1-dev: the requests to the X11
# window manager go through Qt's xcb connection).
BUILD_PACKAGES=(cmake g++ make qt6-base-dev qt6-serialport-dev libgl-dev
                libxcb1-dev fonts-wqy-microhei)

# What the tests need besides: an X server and xdotool for the real-keyboard
# test, openbox and wmctrl for the window-manager test, Noto CJK for the font
# test, clang-tidy for the static analysis, clang's libFuzzer for fuzzing, the
# desktop-file and AppStream validators and dpkg's tools for the package
# check, and for the real input method and screen-reader tests a D-Bus session, fcitx5 pinyin with its Qt 6
# module, the accessibility bus and its Python client, and Orca with speech-dispatcher; KWin (with its Breeze
# frames), mutter, metacity and xfwm4 for the window-manager tests; Qt's GTK 3 theme, qt6ct and
# ImageMagick's screenshots for the dark-theme tests.
TEST_PACKAGES=(xvfb xauth xdotool x11-utils openbox wmctrl fonts-noto-cjk
               clang-format clang-tidy clang libclang-rt-14-dev
               desktop-file-utils appstream dpkg-dev file
               dbus-x11 fcitx5 fcitx5-chinese-addons fcitx5-frontend-qt6
               at-spi2-core python3-pyatspi orca speech-dispatcher
               kwin-x11 kwin-style-breeze mutter metacity xfwm4
               qt6-gtk-platformtheme qt6ct imagemagick)
