#!/usr/bin/env bash
# One chat room served by three chatd nodes on this machine:
#   scripts/cluster.sh start DIR [chatd options for every node...]
#   scripts/cluster.sh stop DIR
#   scripts/cluster.sh restart-nats DIR   (kills nats-server and starts it again)
# start makes, under DIR, a private PostgreSQL cluster (scripts/pg_private.sh),
# a nats-server with JetStream on a free loopback port and three chatd nodes
# on free ports (node 1 runs the bot, "Robot", unless CLUSTER_BOT is set
# empty), and writes DIR/cluster.env:
#   STORE=postgresql://…  NATS_URL=nats://127.0.0.1:PORT
#   NODE1_PORT= NODE1_HTTP= NODE1_PID=  (and NODE2_…, NODE3_…)
# stop ends every process it started by its process id and stops PostgreSQL.
# CHATD names the chatd binary (build/bin/chatd by default); NODES the
# number of nodes (3).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CHATD=${CHATD:-$ROOT/build/bin/chatd}
NODES=${NODES:-3}
BOT=${CLUSTER_BOT-Robot}

usage() { echo "usage: $0 start|stop|restart-nats DIR [chatd options...]" >&2; exit 2; }
[ $# -ge 2 ] || usage
action=$1
dir=$2
shift 2

# Waits up to 20 s for a line matching $2 in file $1 and prints it.
wait_for_line() {
  local file=$1 pattern=$2 line
  for _ in $(seq 200); do
    line=$(grep -m1 -E "$pattern" "$file" 2>/dev/null || true)
    if [ -n "$line" ]; then
      echo "$line"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Asks the processes to end, all at once, and kills those still there
# after 5 s.
stop_pids() {
  local pid alive
  for pid in "$@"; do
    if [ -n "$pid" ]; then kill -TERM "$pid" 2>/dev/null || true; fi
  done
  for _ in $(seq 50); do
    alive=0
    for pid in "$@"; do
      [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && alive=1
    done
    [ $alive -eq 0 ] && return 0
    sleep 0.1
  done
  for pid in "$@"; do
    if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; fi
  done
}

start_nats() {
  nats-server -c "$dir/nats.conf" -l "$dir/nats.log" -P "$dir/nats.pid" </dev/null >/dev/null 2>&1 &
}

# Kills nats-server (SIGKILL, as a crash would) and starts it again on its
# port: the nodes must find their way back.
restart_nats() {
  # shellcheck disable=SC1091
  . "$dir/cluster.env"
  kill -KILL "$NATS_PID" 2>/dev/null || true
  while kill -0 "$NATS_PID" 2>/dev/null; do sleep 0.05; done
  : >"$dir/nats.log"
  start_nats
  sed -i "s|^NATS_PID=.*|NATS_PID=$!|" "$dir/cluster.env"
  wait_for_line "$dir/nats.log" "Listening for client connections on" >/dev/null ||
    { echo "nats-server did not start again:" >&2; cat "$dir/nats.log" >&2; exit 1; }
}

start() {
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  # The database runs as an unprivileged user when we are root: it must
  # reach its folder inside DIR.
  chmod o+x "$dir"
  [ -x "$CHATD" ] || { echo "no chatd at $CHATD (build it first)" >&2; exit 1; }
  command -v nats-server >/dev/null || { echo "nats-server not found (apt-get install nats-server)" >&2; exit 3; }
  local env=$dir/cluster.env
  : >"$env"

  local store
  store=$("$ROOT/scripts/pg_private.sh" start "$dir/postgres")
  echo "STORE='$store'" >>"$env"

  # Port -1: nats-server takes a free port and names it in its log.
  cat >"$dir/nats.conf" <<EOF
listen: 127.0.0.1:-1
max_payload: 16777216
jetstream {
  store_dir: "$dir/jetstream"
}
EOF
  start_nats
  echo "NATS_PID=$!" >>"$env"
  local listening
  listening=$(wait_for_line "$dir/nats.log" "Listening for client connections on") ||
    { echo "nats-server did not start:" >&2; cat "$dir/nats.log" >&2; exit 1; }
  local nats_url="nats://${listening##*on }"
  echo "NATS_URL=$nats_url" >>"$env"
  # A restarted nats-server (restart-nats) must come back where the nodes
  # look for it.
  sed -i "s|^listen: .*|listen: ${listening##*on }|" "$dir/nats.conf"

  for n in $(seq "$NODES"); do
    local extra=()
    [ "$n" -eq 1 ] && [ -n "$BOT" ] && extra=(--bot "$BOT")
    mkdir -p "$dir/node$n"
    "$CHATD" --port 0 --http-port 0 --data "$dir/node$n" --store "$store" --cluster "$nats_url" --node "$n" \
      --log "$dir/node$n/chatd.log" "${extra[@]}" "$@" </dev/null >"$dir/node$n/banner" 2>"$dir/node$n/stderr" &
    echo "NODE${n}_PID=$!" >>"$env"
  done
  for n in $(seq "$NODES"); do
    local banner
    banner=$(wait_for_line "$dir/node$n/banner" "^chatd listening on") ||
      { echo "node $n did not start:" >&2; cat "$dir/node$n/stderr" "$dir/node$n/chatd.log" >&2; exit 1; }
    # "chatd listening on 127.0.0.1:PORT http 127.0.0.1:HTTPPORT"
    local chat=${banner#chatd listening on } http=${banner##* }
    chat=${chat%% *}
    echo "NODE${n}_PORT=${chat##*:}" >>"$env"
    echo "NODE${n}_HTTP=${http##*:}" >>"$env"
  done
  cat "$env"
}

stop() {
  [ -d "$dir" ] || return 0
  if [ -f "$dir/cluster.env" ]; then
    # shellcheck disable=SC1091
    . "$dir/cluster.env"
    local pids=() var
    for n in $(seq "$NODES"); do
      var="NODE${n}_PID"
      pids+=("${!var:-}")
    done
    stop_pids "${pids[@]}" "${NATS_PID:-}"
  fi
  "$ROOT/scripts/pg_private.sh" stop "$dir/postgres" || true
}

case $action in
  start) start "$@" ;;
  stop) stop ;;
  restart-nats) restart_nats ;;
  *) usage ;;
esac
