#!/bin/sh
# Runs a test program as an ordinary user: as nobody when started as root
# (root would write through every permission the tests set up), else as it
# is. When nobody cannot reach the build folder (a checkout under /root, say),
# the program, and the ostr named by OSTR_BINARY, run from copies in a
# temporary folder that nobody can read.
set -e
if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null 2>&1; then
    exec "$@"
fi
as_nobody() {
    setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
}
program=$1
shift
if ! as_nobody test -x "$program" ||
    { [ -n "${OSTR_BINARY:-}" ] && ! as_nobody test -x "$OSTR_BINARY"; }; then
    copies=$(mktemp -d)
    trap 'rm -rf "$copies"' EXIT
    chmod 755 "$copies"
    cp "$program" "$copies/"
    program=$copies/$(basename "$program")
    chmod 755 "$program"
    if [ -n "${OSTR_BINARY:-}" ]; then
        cp "$OSTR_BINARY" "$copies/"
        OSTR_BINARY=$copies/$(basename "$OSTR_BINARY")
        chmod 755 "$OSTR_BINARY"
        export OSTR_BINARY
    fi
fi
as_nobody "$program" "$@"
