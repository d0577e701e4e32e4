#!/usr/bin/env bash
# Runs window_test.py against the carvox program as a screen reader meets it: on a
# display of its own (Xvfb) and a session bus of its own (dbus-run-session, which starts
# the accessibility bus), over a machine folder of its own.
# Usage: run_window_test.sh CARVOX IMAGE. Exits 77 (skipped) when the tools are missing.
set -euo pipefail
carvox="$1"
image="$2"
python=/usr/bin/python3  # the system Python, which the python3-pyatspi package serves
for tool in xvfb-run dbus-run-session "$python"; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
"$python" -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is missing"; exit 77; }
machine="$(mktemp -d)"
trap 'rm -rf "$machine"' EXIT
chmod 700 "$machine"
export CARVOX_MACHINE="$machine/machine" HOME="$machine" XDG_RUNTIME_DIR="$machine" XDG_CONFIG_HOME="$machine/config"
export CARVOX_SPLASH_MS=0 CARVOX_SOUND=silent QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
# A display number of its own choosing: two runs that start at once may race for the
# first free one.
xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" \
  dbus-run-session -- "$python" "$(dirname "$0")/window_test.py" "$carvox" "$image"
