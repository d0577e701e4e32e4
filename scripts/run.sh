#!/usr/bin/env bash
# The main job: installs what is missing, builds Carvox and its demo disc, mounts the
# disc in a virtual drive and starts Carvox on that drive. Without a display it says so and shows the disc from the command
# line instead: it lists the disc and exports all of it (WAV files and SoundFont banks).
source "$(dirname "$0")/lib.sh"
carvox_install_packages
carvox_build "$CARVOX_ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
bin="$CARVOX_ROOT/build/release/bin"
disc="$CARVOX_ROOT/build/release/demo.iso"
out="$CARVOX_ROOT/build/release/demo-export"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  # A drive that holds the disc already is used again; Carvox opens the drive that
  # holds the image it is given.
  drive="$("$bin/carvox-vdrive" list | awk -v disc="  $disc" 'substr($0, length($0) - length(disc) + 1) == disc { print $1 }')"
  [ -n "$drive" ] || drive="$("$bin/carvox-vdrive" mount "$disc")"
  echo "The demo disc is in drive $drive"
  exec "$bin/carvox" "$disc"
fi
echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): showing the demo disc with carvox-cli instead."
echo
"$bin/carvox-cli" list "$disc" "$@"
echo
"$bin/carvox-cli" export "$disc" -o "$out" --all
echo
echo "The demo disc's samples (WAV) and programs (SoundFont 2) are in $out"
