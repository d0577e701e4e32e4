# Shared by the project's scripts: installs missing Debian packages and builds.
set -euo pipefail

CARVOX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CARVOX_PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev
  libsndfile1-dev libfluidsynth-dev fluidsynth
  portaudio19-dev libsamplerate0-dev
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins xvfb xauth fonts-dejavu-core
  dbus-bin at-spi2-core python3-pyatspi
  clang-14 libclang-rt-14-dev
  dpkg-dev fakeroot librsvg2-bin lintian desktop-file-utils appstream groff-base man-db
  shared-mime-info libglib2.0-bin
)

# Installs the packages that are not installed yet (apt-get needs root).
carvox_install_packages() {
  local missing=()
  for package in "${CARVOX_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# carvox_build DIR [cmake options...]: configures once, then builds incrementally.
carvox_build() {
  local dir="$1"
  shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$CARVOX_ROOT" -B "$dir" -G Ninja "$@"
  fi
  cmake --build "$dir"
}

# carvox_package BUILD_DIR: makes the Debian package of a built tree in build/package
# and prints its path as the last line.
carvox_package() {
  local dir="$CARVOX_ROOT/build/package"
  mkdir -p "$dir"
  rm -f "$dir"/carvox_*.deb
  cpack --config "$1/CPackConfig.cmake" -B "$dir" >&2
  ls "$dir"/carvox_*.deb
}
