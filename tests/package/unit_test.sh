#!/usr/bin/env bash
# The chatd unit as systemd reads it: `systemd-analyze verify` finds nothing
# to say (its manual page included), and `systemd-analyze security` rates
# its exposure at most 2.0.
#   unit_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
SOURCE=$1 BUILD=$2
command -v systemd-analyze >/dev/null || { echo "systemd-analyze is not installed: unit not checked"; exit 77; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
sed "s#@CHATD_BINARY@#$BUILD/bin/chatd#" "$SOURCE/packaging/chatd.service.in" >"$WORK/chatd.service"
# The unit names its manual page; verify looks it up with man.
export MANPATH=$BUILD/packaging/doc
if ! systemd-analyze verify "$WORK/chatd.service" >"$WORK/verify.out" 2>&1 || [ -s "$WORK/verify.out" ]; then
  echo "FAIL: systemd-analyze verify:"
  cat "$WORK/verify.out"
  exit 1
fi
systemd-analyze security --offline=true "$WORK/chatd.service" >"$WORK/security.out" 2>&1 || true
score=$(sed -n 's/.*Overall exposure level for chatd.service: \([0-9.]*\).*/\1/p' "$WORK/security.out")
[ -n "$score" ] || { cat "$WORK/security.out"; echo "FAIL: no exposure level"; exit 1; }
echo "exposure $score"
if ! awk -v s="$score" 'BEGIN { exit !(s <= 2.0) }'; then
  grep '✗' "$WORK/security.out"
  echo "FAIL: exposure $score is above 2.0"
  exit 1
fi
