#!/usr/bin/env bash
# Every program is linked with full RELRO and BIND_NOW and compiled with
# the stack protector; with FORTIFY the fortified C library functions are
# in use too.
#   hardening_test.sh FORTIFY BINARY...   (FORTIFY: 1 for an optimised build)
set -euo pipefail
command -v readelf >/dev/null || { echo "readelf is not installed"; exit 77; }
FORTIFY=$1
shift
status=0
for bin in "$@"; do
  name=$(basename "$bin")
  dynamic=$(readelf -dW "$bin")
  if ! grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' <<<"$dynamic"; then
    echo "FAIL: $name is not linked with -z now (no BIND_NOW)"
    status=1
  fi
  if ! readelf -lW "$bin" | grep -q GNU_RELRO; then
    echo "FAIL: $name has no RELRO segment"
    status=1
  fi
  symbols=$(readelf --dyn-syms -W "$bin")
  if ! grep -q '__stack_chk_fail' <<<"$symbols"; then
    echo "FAIL: $name has no stack protector (__stack_chk_fail)"
    status=1
  fi
  if [ "$FORTIFY" = 1 ] && ! grep -Eq ' __[a-z0-9_]+_chk(@|$)' <<<"$symbols"; then
    echo "FAIL: $name calls no fortified function (_FORTIFY_SOURCE)"
    status=1
  fi
  [ $status -eq 0 ] && echo "$name: BIND_NOW, RELRO, stack protector$([ "$FORTIFY" = 1 ] && echo ", fortified")"
done
exit $status
