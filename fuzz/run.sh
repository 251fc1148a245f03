#!/usr/bin/env bash
# Builds the libFuzzer programs with clang in build-fuzz/ and runs each for a
# bounded time, one after another.
#   fuzz/run.sh [SECONDS] [TARGET...]     (default 60 s, every target)
# New inputs go to build-fuzz/corpus/<target>/, crashes to
# build-fuzz/artifacts/; the seeds in fuzz/corpus/ are only read.  Copy an
# input worth keeping into fuzz/corpus/<target>/ so ./test.sh replays it.
set -euo pipefail
source "$(dirname "$0")/../scripts/setup.sh"
PACKAGES=("${FUZZ_PACKAGES[@]}")
install_missing_packages
BUILD="${CHAT_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(wire markup files picture http games)
if [ ! -f "$BUILD/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$BUILD" -G Ninja \
    -DFUZZ=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD" -j "${CHAT_FUZZ_JOBS:-2}" --target "${targets[@]/#/fuzz_}"
export QT_QPA_PLATFORM=offscreen
for t in "${targets[@]}"; do
  mkdir -p "$BUILD/corpus/$t" "$BUILD/artifacts"
  echo "== fuzz_$t for ${seconds}s"
  "$BUILD/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$t-" \
    "$BUILD/corpus/$t" "$ROOT/fuzz/corpus/$t"
done
