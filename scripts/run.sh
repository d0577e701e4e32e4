#!/usr/bin/env bash
# The main job: installs what is missing, builds Carvox and lists the demo disc.
source "$(dirname "$0")/lib.sh"
carvox_install_packages
carvox_build "$CARVOX_ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
bin="$CARVOX_ROOT/build/release/bin"
"$bin/carvox-cli" list "$CARVOX_ROOT/build/release/demo.iso" "$@"
