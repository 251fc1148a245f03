# Shared by test.sh and run.sh: install missing Debian packages, configure
# and build in build/.  Sourced, not executed.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${CHAT_BUILD_DIR:-$ROOT/build}"

PACKAGES=(cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-multimedia-dev qt6-httpserver-dev qt6-websockets-dev
  libqt6sql6-sqlite libsqlite3-dev zlib1g-dev libjpeg-dev libgif-dev libpcre2-dev
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth fonts-dejavu-core)

install_missing_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

configure_and_build() {
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja ${CHAT_CMAKE_ARGS:-}
  fi
  cmake --build "$BUILD" -j "$(nproc)"
}
