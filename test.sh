#!/usr/bin/env bash
# Install what is missing, build, and run the whole test suite headless.
source "$(dirname "$0")/scripts/setup.sh"
install_missing_packages
configure_and_build
export QT_QPA_PLATFORM=offscreen
# Sanitizer builds: leaks inside system libraries are not ours.
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/chat-test-runtime}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cd "$BUILD"
ctest --output-on-failure -j "$(nproc)" "$@"
