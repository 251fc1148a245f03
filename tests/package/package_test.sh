#!/usr/bin/env bash
# Builds the Debian packages from the build folder, checks them with lintian
# (when installed; any error or warning fails), unpacks them into a
# temporary root and runs what they hold from there: the desktop entry and
# the AppStream data pass their validators, chatd serves on free ports, the
# client answers --help and --version, refuses unknown options, and keeps
# its files in the XDG data folder (moving the folder an earlier version
# used there) rather than beside the installed executable.
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
  case "$(dpkg-deb -f "$deb" Maintainer)" in *@localhost*|"") fail "$deb has no real maintainer address" ;; esac
  dpkg-deb -x "$deb" "$WORK/root"
done
if command -v lintian >/dev/null; then
  # Informational and pedantic tags are shown, errors and warnings fail.
  lintian --pedantic --info --fail-on error,warning "$CLIENT_DEB" "$SERVER_DEB" >"$WORK/lintian.out" 2>&1 ||
    { cat "$WORK/lintian.out"; fail "lintian"; }
  cat "$WORK/lintian.out"
else
  echo "lintian is not installed: packages not checked by it"
fi
# The service is enabled and started on installation, stopped on removal,
# its state removed on purge.
dpkg-deb -e "$SERVER_DEB" "$WORK/control"
for script in postinst prerm postrm; do
  [ -x "$WORK/control/$script" ] && sh -n "$WORK/control/$script" || fail "chatd has no working $script"
done
grep -q "deb-systemd-helper enable 'chatd.service'" "$WORK/control/postinst" || fail "postinst does not enable chatd"
grep -q "deb-systemd-invoke stop 'chatd.service'" "$WORK/control/prerm" || fail "prerm does not stop chatd"
grep -q "rm -rf /var/lib/private/chatd" "$WORK/control/postrm" || fail "postrm does not remove the state on purge"
R=$WORK/root
for f in usr/bin/chat-browser usr/bin/chatd usr/share/applications/chat-browser.desktop \
         usr/share/metainfo/org.chatbrowser.ChatBrowser.metainfo.xml \
         usr/share/icons/hicolor/16x16/apps/chat-browser.png usr/share/icons/hicolor/256x256/apps/chat-browser.png \
         usr/lib/systemd/system/chatd.service usr/share/man/man1/chat-browser.1.gz usr/share/man/man1/chatd.1.gz \
         usr/share/man/man1/adpcm.1.gz usr/share/doc/chat-browser/copyright usr/share/doc/chatd/copyright \
         usr/share/doc/chat-browser/changelog.Debian.gz usr/share/doc/chatd/changelog.Debian.gz; do
  [ -e "$R/$f" ] || fail "the packages hold no $f"
done
UNIT=$R/usr/lib/systemd/system/chatd.service
grep -q '^ExecStart=/usr/bin/chatd ' "$UNIT" || fail "the unit does not start /usr/bin/chatd"
grep -q '^DynamicUser=yes' "$UNIT" && grep -q '^StateDirectory=chatd' "$UNIT" && grep -q '^Restart=on-failure' "$UNIT" ||
  fail "the unit lacks the dynamic user, state directory or restart"
grep -q '^LimitNOFILE=' "$UNIT" || fail "the unit does not raise the file limit"
! grep -q -- '--quiet' "$UNIT" || fail "the unit silences chatd's log"
# One licence everywhere: the AppStream data, the copyright file, LICENSE.
grep -q '<project_license>MIT</project_license>' "$R/usr/share/metainfo/org.chatbrowser.ChatBrowser.metainfo.xml" ||
  fail "the AppStream licence is not MIT"
grep -q '^License: Expat' "$R/usr/share/doc/chatd/copyright" && grep -q '^MIT License' "$SOURCE/LICENSE" ||
  fail "copyright and LICENSE do not name the MIT (Expat) licence"

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
set +e
"$R/usr/bin/chat-browser" --datadir /nowhere >"$WORK/refused.out" 2>"$WORK/refused.err"
refused=$?
set -e
[ $refused -eq 2 ] && [ ! -s "$WORK/refused.out" ] && grep -q "usage: chat-browser" "$WORK/refused.err" ||
  fail "an unknown option was not refused with the usage (exit $refused)"
"$R/usr/bin/adpcm" --help | grep -q "usage: adpcm" || fail "adpcm --help"
[ "$("$R/usr/bin/adpcm" --version)" = "adpcm $VERSION" ] || fail "adpcm --version"

# The installed client keeps its settings in XDG_DATA_HOME/chat-browser,
# where it first moves the folder an earlier version kept them in.
export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/data XDG_CACHE_HOME=$WORK/home/cache \
  XDG_CONFIG_HOME=$WORK/home/config QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_DATA_HOME/Chat browser"
printf '[Global]\r\nUserName=old-user\r\n' >"$XDG_DATA_HOME/Chat browser/molvat.ini"
INI=$XDG_DATA_HOME/chat-browser/molvat.ini
"$R/usr/bin/chat-browser" >"$WORK/client.log" 2>&1 &
CLIENT_PID=$!
for _ in $(seq 150); do grep -q "ChatDir=" "$INI" 2>/dev/null && break; sleep 0.1; done
kill -TERM "$CLIENT_PID"
wait "$CLIENT_PID" || true
CLIENT_PID=""
grep -q "UserName=old-user" "$INI" || { cat "$WORK/client.log"; fail "the old data folder was not moved to $INI"; }
[ ! -e "$XDG_DATA_HOME/Chat browser" ] || fail "the old data folder is still there"
[ "$(stat -c %a "$XDG_DATA_HOME/chat-browser")" = 700 ] || fail "the data folder is open to others"
[ "$(stat -c %a "$INI")" = 600 ] || fail "molvat.ini is open to others"
[ -z "$(find "$R/usr" -name molvat.ini)" ] || fail "the installed client wrote beside its executable"
echo "package test passed"
