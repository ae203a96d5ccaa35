#!/usr/bin/env bash
# run.sh <program>: the AT-SPI reading in a D-Bus session of its own, which
# brings up the accessibility bus on demand and ends with the script. Debian's
# own Python, where python3-pyatspi is, not whichever python3 is first on PATH.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no DISPLAY; run under the test command" >&2; exit 1; }
exec timeout --kill-after=5 100 dbus-run-session -- /usr/bin/python3 "$here/read_windows.py" "$1"
