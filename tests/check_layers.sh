#!/usr/bin/env bash
# Each layer includes only its own headers and those of the layers below it,
# whatever the spelling: quotes or angle brackets, spaces after '#', a path
# relative to the including file, any extension. The serial control includes
# no Qt module but QtCore and QtSerialPort; nothing above it includes
# QtSerialPort. The build enforces most of this by itself (each library
# publishes only its own headers); this also catches what a compiler lets
# through, such as "../app/x.h" or <QtGui/QColor>.
# usage: check_layers.sh [QT_HEADERS_DIR]   (e.g. /usr/include/x86_64-linux-gnu/qt6)
set -u
cd "$(dirname "$0")/.."
qt_headers=${1:-$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || true)}

# Sets layer to the layer a path of the project belongs to ("" for none).
layer_of() {
    case "$1" in
    serial/opening/*) layer=handlers ;;
    serial/*) layer=serial ;;
    controls/*) layer=controls ;;
    form/*) layer=form ;;
    console/* | relay/*) layer=handlers ;;
    app/*) layer=app ;;
    fuzz/*) layer=fuzz ;;
    tests/* | bench/* | tools/*) layer=tests ;;
    *) layer="" ;;
    esac
}

# The layers each layer may include.
declare -A allowed_for=(
    [serial]="serial"
    [controls]="controls"
    [form]="form serial controls"
    [handlers]="handlers form serial controls"
    [app]="app handlers form serial controls"
    [fuzz]="fuzz app handlers form serial controls"
)

# Every header of Qt's modules, by the name an angle-bracket include gives it.
declare -A qt_module=()
if [ -n "$qt_headers" ]; then
    while IFS=/ read -r module header; do
        qt_module[$header]=${qt_module[$header]:-$module}
    done < <(cd "$qt_headers" && find Qt* -maxdepth 1 -type f | sort)
fi

status=0
complain() {
    echo "$1: $2"
    status=1
}

files=$(find serial controls form console relay app fuzz -type f \
    \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.cxx' -o -name '*.h' \
    -o -name '*.hh' -o -name '*.hpp' -o -name '*.hxx' -o -name '*.inl' -o -name '*.ipp' \) \
    -not -path 'fuzz/corpus/*' -not -path 'fuzz/regressions/*' | sort)

while IFS= read -r file; do
    layer_of "$file"
    own=$layer
    allowed=" ${allowed_for[$own]} "
    while IFS= read -r hit; do
        [ -n "$hit" ] || continue
        where="$file:${hit%%:*}"
        line=${hit#*:}
        if [[ ! $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([\"\<])([^\"\>]*)[\"\>] ]]; then
            complain "$where" "an include the check cannot read: $line"
            continue
        fi
        delimiter=${BASH_REMATCH[1]}
        name=${BASH_REMATCH[2]}
        if [[ $name == *..* ]]; then
            complain "$where" "relative include across folders: $line"
            continue
        fi
        # A quoted name is looked up beside the including file first.
        target=$name
        if [ "$delimiter" = '"' ] && [ -e "${file%/*}/$name" ]; then
            target="${file%/*}/$name"
        fi
        layer_of "$target"
        if [ -n "$layer" ]; then
            [[ $allowed == *" $layer "* ]] \
                || complain "$where" "the $own layer includes the $layer layer: $line"
            continue
        fi
        [ "$delimiter" = '<' ] || continue
        case "$name" in
        Qt*/*) module=${name%%/*} ;;
        *) module=${qt_module[$name]:-} ;;
        esac
        if [ "$own" = serial ] && [ -n "$module" ] && [ "$module" != QtCore ] \
            && [ "$module" != QtSerialPort ]; then
            complain "$where" "the serial control includes $module: $line"
        fi
        if [ "$own" != serial ] && [ "$module" = QtSerialPort ]; then
            complain "$where" "only the serial control includes QtSerialPort: $line"
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file")
done <<<"$files"

[ "$status" -eq 0 ] && echo "layers: every include stays in its layer or goes below it"
exit "$status"
