#!/usr/bin/env bash
# A private PostgreSQL cluster in a folder of its own, for chatd's tests and
# scripts/cluster.sh: nothing else on the machine is used or changed.
#   pg_private.sh start DIR   makes DIR/pg (initdb on first use), starts the
#                             server on a Unix socket in DIR and prints the
#                             connection URI for --store
#   pg_private.sh stop DIR    stops it (by the pid in its postmaster.pid)
# PostgreSQL refuses to run as root; under root the cluster belongs to the
# user "nobody" (runuser), otherwise to the caller.  Exit status 3 tells
# that PostgreSQL cannot run here (no binaries, no unprivileged user).
set -euo pipefail

usage() { echo "usage: $0 start|stop DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
dir=$2

bindir=${PG_BINDIR:-}
if [ -z "$bindir" ]; then
  for candidate in /usr/lib/postgresql/*/bin; do
    [ -x "$candidate/initdb" ] && bindir=$candidate
  done
fi
if [ -z "$bindir" ] || [ ! -x "$bindir/pg_ctl" ]; then
  echo "PostgreSQL server binaries not found (Debian: apt-get install postgresql)" >&2
  exit 3
fi

as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  if ! command -v runuser >/dev/null || ! id nobody >/dev/null 2>&1; then
    echo "running as root without runuser or the user nobody: PostgreSQL cannot start" >&2
    exit 3
  fi
  as_owner=(runuser -u nobody --)
fi

data=$dir/pg
# The socket path must stay below the 107 bytes of sun_path.
port=5432

case $action in
  start)
    mkdir -p "$dir"
    if [ ${#as_owner[@]} -gt 0 ]; then
      chown nobody "$dir"
      chmod 700 "$dir"
    fi
    if [ ! -f "$data/PG_VERSION" ]; then
      # initdb is most of the start-up time: a fresh cluster is copied from
      # one made before by the same user and version, when there is one.
      template=${TMPDIR:-/tmp}/chatd-pg-template-$(id -u)-$(basename "$(dirname "$bindir")")
      if [ -f "$template/PG_VERSION" ] && [ "$(stat -c %U "$template")" = "$(stat -c %U "$dir")" ]; then
        "${as_owner[@]}" cp -a "$template" "$data"
      else
        "${as_owner[@]}" "$bindir/initdb" -D "$data" -U chatd -A trust -E UTF8 --locale=C.UTF-8 --no-sync \
          >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
        # Made aside and renamed, so a parallel run never copies half of it.
        if [ ! -e "$template" ] && "${as_owner[@]}" cp -a "$data" "$template.$$" 2>/dev/null; then
          mv -T "$template.$$" "$template" 2>/dev/null || rm -rf "$template.$$"
        fi
      fi
    fi
    # Only the Unix socket in DIR: no TCP port to collide with another run.
    # Durability is not what a test cluster is for, so fsync is off.
    "${as_owner[@]}" "$bindir/pg_ctl" -D "$data" -l "$dir/postgres.log" -w -t 60 \
      -o "-c listen_addresses= -k $dir -p $port -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
      start >/dev/null ||
      { cat "$dir/postgres.log" >&2; exit 1; }
    "${as_owner[@]}" "$bindir/psql" -h "$dir" -p "$port" -U chatd -d postgres -qtA \
      -c "SELECT 1 FROM pg_database WHERE datname = 'chatd'" | grep -q 1 ||
      "${as_owner[@]}" "$bindir/createdb" -h "$dir" -p "$port" -U chatd chatd
    echo "postgresql://chatd@/chatd?host=$dir&port=$port"
    ;;
  stop)
    if [ -f "$data/postmaster.pid" ]; then
      "${as_owner[@]}" "$bindir/pg_ctl" -D "$data" -m fast -w stop >/dev/null 2>&1 || {
        pid=$(head -n1 "$data/postmaster.pid" 2>/dev/null || true)
        if [ -n "$pid" ]; then kill -TERM "$pid" 2>/dev/null || true; fi
      }
    fi
    ;;
  *) usage ;;
esac
