#!/usr/bin/env bash
# Takes the documentation's screenshots of Carvox over the demo disc under Xvfb (a
# volume listed, the item context menu, Preferences, the export progress) and writes
# them to docs/screenshots/.
source "$(dirname "$0")/lib.sh"
carvox_install_packages
carvox_build "$CARVOX_ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
bin="$CARVOX_ROOT/build/release/bin"
# A machine of its own, so that the pictures show default settings.
machine="$(mktemp -d)"
trap 'rm -rf "$machine"' EXIT
# No pause for the splash, and no sound card needed.
CARVOX_MACHINE="$machine" HOME="$machine" XDG_RUNTIME_DIR="$machine" CARVOX_SPLASH_MS=0 CARVOX_SOUND=silent \
  xvfb-run -a -s "-screen 0 1024x768x24" \
  "$bin/carvox-screenshots" "$CARVOX_ROOT/build/release/demo.iso" "$CARVOX_ROOT/docs/screenshots"
