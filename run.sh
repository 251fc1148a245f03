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

DATA="${XDG_DATA_HOME:-$HOME/.local/share}/chat-browser"
mkdir -p "$DATA/client" "$DATA/chatd"
"$BUILD/bin/chatd" --port 8080 --http-port 8081 --data "$DATA/chatd" --bot Robot &
CHATD=$!
trap 'kill $CHATD 2>/dev/null || true' EXIT
sleep 0.5
"$BUILD/bin/chat-browser" --data-dir "$DATA/client" "$@"
