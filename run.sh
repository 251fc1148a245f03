#!/usr/bin/env bash
# Install what is missing, build, start chatd on loopback and open the client on it.
source "$(dirname "$0")/scripts/setup.sh"
install_missing_packages
configure_and_build

missing=()
[ -x "$BUILD/bin/chatd" ] || missing+=("chatd (server/)")
[ -x "$BUILD/bin/chat-browser" ] || missing+=("chat-browser (src/window/)")
if [ ${#missing[@]} -gt 0 ]; then
  echo "Not built yet: ${missing[*]}" >&2
  exit 1
fi

# User data lives outside build/, so a rebuild never touches it.
DATA="${XDG_DATA_HOME:-$HOME/.local/share}/chat-browser"
mkdir -p "$DATA/client" "$DATA/chatd"
LOG="$DATA/chatd.log"
"$BUILD/bin/chatd" --port 8080 --http-port 8081 --data "$DATA/chatd" --bot Robot >"$LOG" 2>&1 &
CHATD=$!
trap 'kill $CHATD 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  grep -q "chatd listening" "$LOG" 2>/dev/null && break
  kill -0 $CHATD 2>/dev/null || break
  sleep 0.1
done
if grep -q "chatd listening" "$LOG"; then
  head -1 "$LOG"
else
  echo "chatd did not start (is port 8080 or 8081 taken?); see $LOG. The client will keep trying to connect." >&2
fi
"$BUILD/bin/chat-browser" --data-dir "$DATA/client" "$@"
