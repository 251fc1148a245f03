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

# User data lives outside build/, so a rebuild never touches it.  The
# client uses the folder an installed client uses; chatd's room is state.
DATA="${XDG_DATA_HOME:-$HOME/.local/share}/chat-browser"
STATE="${XDG_STATE_HOME:-$HOME/.local/state}/chat-browser"
mkdir -p "$STATE"
# Earlier versions of this script kept the client in DATA/client and chatd
# in DATA/chatd: moved once.
if [ -d "$DATA/chatd" ] && [ ! -e "$STATE/chatd" ]; then
  mv "$DATA/chatd" "$STATE/chatd"
fi
if [ -d "$DATA/client" ] && [ ! -e "$DATA/molvat.ini" ]; then
  find "$DATA/client" -mindepth 1 -maxdepth 1 -exec mv -n -t "$DATA" {} +
  rmdir "$DATA/client" 2>/dev/null || true
fi
rm -f "$DATA/chatd.log"
mkdir -p "$DATA" "$STATE/chatd"
chmod 700 "$DATA"
LOG="$STATE/chatd.log"
"$BUILD/bin/chatd" --port 8080 --http-port 8081 --data "$STATE/chatd" --bot Robot >"$LOG" 2>&1 &
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
"$BUILD/bin/chat-browser" --data-dir "$DATA" "$@"
