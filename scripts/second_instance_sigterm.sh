#!/bin/sh
# A second client on a data folder already in use shows its "in use" box on
# a real (virtual) display; SIGTERM must end it.  Prints how it ended.
#   scripts/second_instance_sigterm.sh [path/to/chat-browser]
set -u
BIN=${1:-$(dirname "$0")/../build/bin/chat-browser}
DIR=$(mktemp -d)
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$DIR/runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
Xvfb :57 -screen 0 1024x768x24 -noreset >/dev/null 2>&1 & XVFB=$!
sleep 1
QT_QPA_PLATFORM=offscreen "$BIN" --data-dir "$DIR" >/dev/null 2>&1 & FIRST=$!
sleep 2
DISPLAY=:57 QT_QPA_PLATFORM=xcb "$BIN" --data-dir "$DIR" >/dev/null 2>&1 & SECOND=$!
sleep 3
kill -TERM $SECOND
sleep 3
if kill -0 $SECOND 2>/dev/null; then
  echo "second instance: still running 3 s after SIGTERM (killed)"
  kill -KILL $SECOND
  RESULT=1
else
  wait $SECOND
  echo "second instance: ended by SIGTERM, exit status $?"
  RESULT=0
fi
kill -TERM $FIRST
wait $FIRST
echo "first instance: exit status $?"
kill $XVFB
rm -rf "$DIR"
exit $RESULT
