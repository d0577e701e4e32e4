#!/usr/bin/env bash
# Builds the release tree (the one scripts/test.sh builds, tests included) and makes
# the Debian package build/package/carvox_VERSION_ARCH.deb; its path is the last line
# printed. Install it with `apt install ./build/package/carvox_*.deb`.
source "$(dirname "$0")/lib.sh"
carvox_install_packages
release="$CARVOX_ROOT/build/release"
carvox_build "$release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
carvox_package "$release"
