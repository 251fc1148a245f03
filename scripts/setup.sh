# Shared by test.sh and run.sh: install missing Debian packages, configure
# and build in build/.  Sourced, not executed.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${CHAT_BUILD_DIR:-$ROOT/build}"

# Build: compiler, CMake, Qt and the libraries.  Tests: GoogleTest, Google
# Benchmark, a virtual display, fonts (fonts-liberation2 gives the markup
# views Arial's metrics), Qt's own translations, a D-Bus daemon for the
# notification tests, the accessibility bus and its Python client for the
# screen-reader check.  chatd links libpq and libnats for its shared store
# and the bus between nodes; its cluster tests run postgresql and
# nats-server.  Packaging: cpack's shlibdeps needs dpkg-dev and
# file; the package test runs the desktop and AppStream validators and
# lintian.
PACKAGES=(cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-multimedia-dev qt6-httpserver-dev qt6-websockets-dev qt6-translations-l10n
  libsqlite3-dev zlib1g-dev libjpeg-dev libgif-dev libpcre2-dev
  libpq-dev libnats-dev postgresql nats-server
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth dbus-daemon fonts-dejavu-core fonts-liberation2
  at-spi2-core python3-pyatspi
  dpkg-dev file desktop-file-utils appstream lintian)
# Only fuzz/run.sh needs these: clang and its libFuzzer runtime.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

install_missing_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  # sudo drops the caller's environment, so the variable goes through env.
  local run=(env DEBIAN_FRONTEND=noninteractive)
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "Missing packages: ${missing[*]}; install them as root (apt-get install), or install sudo." >&2
      return 1
    fi
    run=(sudo "${run[@]}")
  fi
  "${run[@]}" apt-get update -qq
  "${run[@]}" apt-get install -y -qq "${missing[@]}"
}

# Configures on the first build and again whenever CHAT_CMAKE_ARGS differs
# from the arguments the build directory was configured with.
configure_and_build() {
  local args="${CHAT_CMAKE_ARGS:-}"
  local stamp="$BUILD/.chat-cmake-args"
  if [ ! -f "$BUILD/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$args" ]; then
    # shellcheck disable=SC2086  # the arguments are meant to split
    cmake -S "$ROOT" -B "$BUILD" -G Ninja $args
    printf '%s' "$args" >"$stamp"
  fi
  cmake --build "$BUILD" -j "$(nproc)"
}
