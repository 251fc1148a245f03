#!/usr/bin/env bash
# Builds the Debian packages from the build folder, unpacks them into a
# temporary root and runs what they hold from there: the desktop entry and
# the AppStream data pass their validators, chatd serves on free ports, the
# client answers --help and --version, and keeps its files in the XDG data
# folder rather than beside the installed executable.
#   package_test.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
SOURCE=$1 BUILD=$2 VERSION=$3
WORK=$(mktemp -d)
CHATD_PID=""
CLIENT_PID=""
cleanup() {
  [ -n "$CHATD_PID" ] && kill "$CHATD_PID" 2>/dev/null || true
  [ -n "$CLIENT_PID" ] && kill -9 "$CLIENT_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$SOURCE/packaging/chat-browser.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$SOURCE/packaging/org.chatbrowser.ChatBrowser.metainfo.xml" || fail "metainfo"

(cd "$WORK" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1) ||
  { cat "$WORK/cpack.log"; fail "cpack"; }
CLIENT_DEB=$(ls "$WORK"/out/chat-browser_*.deb)
SERVER_DEB=$(ls "$WORK"/out/chatd_*.deb)
for deb in "$CLIENT_DEB" "$SERVER_DEB"; do
  depends=$(dpkg-deb -f "$deb" Depends)
  case "$depends" in *libqt6core6*) ;; *) fail "$deb depends on '$depends', not on Qt" ;; esac
  dpkg-deb -x "$deb" "$WORK/root"
done
R=$WORK/root
for f in usr/bin/chat-browser usr/bin/chatd usr/share/applications/chat-browser.desktop \
         usr/share/metainfo/org.chatbrowser.ChatBrowser.metainfo.xml \
         usr/share/icons/hicolor/16x16/apps/chat-browser.png usr/share/icons/hicolor/256x256/apps/chat-browser.png \
         usr/lib/systemd/system/chatd.service; do
  [ -e "$R/$f" ] || fail "the packages hold no $f"
done
UNIT=$R/usr/lib/systemd/system/chatd.service
grep -q '^ExecStart=/usr/bin/chatd ' "$UNIT" || fail "the unit does not start /usr/bin/chatd"
grep -q '^DynamicUser=yes' "$UNIT" && grep -q '^StateDirectory=chatd' "$UNIT" && grep -q '^Restart=on-failure' "$UNIT" ||
  fail "the unit lacks the dynamic user, state directory or restart"

# chatd from the package on free ports.
"$R/usr/bin/chatd" --port 0 --http-port 0 --data "$WORK/chatd-data" --quiet >"$WORK/chatd.out" &
CHATD_PID=$!
for _ in $(seq 100); do grep -q "chatd listening" "$WORK/chatd.out" && break; sleep 0.1; done
grep -q "chatd listening on 127.0.0.1:[1-9]" "$WORK/chatd.out" || fail "chatd did not listen: $(cat "$WORK/chatd.out")"
[ "$("$R/usr/bin/chatd" --version)" = "chatd $VERSION" ] || fail "chatd --version"
"$R/usr/bin/chatd" --help | grep -q -- "--moderator" || fail "chatd --help"

# The client answers without a display.
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$R/usr/bin/chat-browser" --help | grep -q "usage: chat-browser" ||
  fail "chat-browser --help"
[ "$("$R/usr/bin/chat-browser" --version)" = "chat-browser $VERSION" ] || fail "chat-browser --version"

# The installed client writes its settings under XDG_DATA_HOME.
export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/data XDG_CONFIG_HOME=$WORK/home/config QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
"$R/usr/bin/chat-browser" >"$WORK/client.log" 2>&1 &
CLIENT_PID=$!
for _ in $(seq 150); do [ -n "$(find "$XDG_DATA_HOME" -name molvat.ini 2>/dev/null)" ] && break; sleep 0.1; done
kill -TERM "$CLIENT_PID"
wait "$CLIENT_PID" || true
CLIENT_PID=""
[ -n "$(find "$XDG_DATA_HOME" -name molvat.ini)" ] || { cat "$WORK/client.log"; fail "no molvat.ini under XDG_DATA_HOME"; }
[ -z "$(find "$R/usr" -name molvat.ini)" ] || fail "the installed client wrote beside its executable"
echo "package test passed"
