#!/usr/bin/env bash
# Runs a command on a D-Bus session of its own with the accessibility bus
# started, so that Qt's accessibility bridge switches on as it does when a
# screen reader runs. Run under an X server (xvfb-run).
# usage: with_accessibility.sh COMMAND...
set -euo pipefail
if [ -z "${RS232_A11Y_BUS:-}" ]; then
    export RS232_A11Y_BUS=1
    exec dbus-run-session -- "$0" "$@"
fi
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null || { echo "FAIL: the accessibility bus (at-spi2-core) did not start" >&2; exit 1; }
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
exec "$@"
