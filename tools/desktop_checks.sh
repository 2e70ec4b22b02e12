# Sourced by the real-client tests before anything else: skips the test
# (exit status 77) when the machine cannot run it.

# Skips unless every named tool is installed and the program can be given a
# mount namespace of its own (as root, or through a user namespace).
require_tools() {
    local tool
    for tool in "$@" unshare; do
        command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
    done
    if [ "$(id -u)" -ne 0 ] && ! unshare --mount --map-root-user true 2>/dev/null; then
        echo "skipped: needs root or unprivileged user namespaces"
        exit 77
    fi
}
