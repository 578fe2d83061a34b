#!/bin/sh
# Runs a command as an ordinary user: as nobody when started as root (root
# would write through every permission the tests set up), else as it is.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null 2>&1; then
    exec setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
fi
exec "$@"
