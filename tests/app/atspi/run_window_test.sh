#!/usr/bin/env bash
# Runs window_test.py against the carvox program as a screen reader meets it: on a
# display of its own (Xvfb) and a session bus of its own (dbus-run-session, which starts
# the accessibility bus), over a machine folder of its own.
# Usage: run_window_test.sh CARVOX IMAGE. Exits 77 (skipped) when the tools are missing.
set -euo pipefail
carvox="$1"
image="$2"
python=/usr/bin/python3  # the system Python, which the python3-pyatspi package serves
for tool in Xvfb dbus-run-session "$python"; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
"$python" -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is missing"; exit 77; }
# One attempt on a display and a session bus of their own, over a machine folder of
# its own.
attempt() {
  local machine
  machine="$(mktemp -d)"
  chmod 700 "$machine"
  # Xvfb picks a free number itself and writes it to fd 3, so runs that start at once
  # cannot race for one.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$machine/display" 2>"$machine/xvfb.log" &
  local xvfb=$!
  local status=1
  for _ in $(seq 600); do
    [ -s "$machine/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  if [ -s "$machine/display" ] && kill -0 "$xvfb" 2>/dev/null; then
    status=0
    (
      export DISPLAY=":$(cat "$machine/display")"
      export CARVOX_MACHINE="$machine/machine" HOME="$machine" XDG_RUNTIME_DIR="$machine" XDG_CONFIG_HOME="$machine/config"
      export CARVOX_SPLASH_MS=0 CARVOX_SOUND=silent QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
      dbus-run-session -- "$python" "$(dirname "$0")/window_test.py" "$carvox" "$image"
    ) || status=$?
  fi
  kill -0 "$xvfb" 2>/dev/null || { echo "Xvfb ended early:"; cat "$machine/xvfb.log"; status=1; }
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  rm -rf "$machine"
  return "$status"
}

# The display server and the accessibility daemons are outside programs that now and
# then fail to come up on a loaded machine (seen: the program could not connect to the
# display Xvfb had just announced); a fault of Carvox's fails every attempt.
for try in 1 2 3; do
  attempt && exit 0
  echo "attempt $try failed"
done
exit 1
