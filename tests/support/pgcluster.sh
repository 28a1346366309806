#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests: pgcluster.sh start INFO | stop INFO | kill INFO | restart INFO
#   start    initdb in a new temporary folder, start on a private socket folder and port; INFO gets
#            the lines dir=, socket=, port=, user= (nothing is written when the server programs are
#            missing: the server tests then skip and say so)
#   stop     stop the cluster and remove its folder
#   kill     stop at once, as a crash would (pg_ctl stop -m immediate); the folder stays for restart
#   restart  start a killed cluster again on the same socket and port
# As root the cluster runs as the unprivileged user nobody; local connections need no password,
# TCP connections on 127.0.0.1 a SCRAM password (role velmora_pw, password velmora-pw).
set -euo pipefail
bin="${VELMORA_PG_BIN:-/usr/lib/postgresql/15/bin}"
action="$1"
info="$2"

as=()
if [ "$(id -u)" = 0 ]; then
    as=(runuser -u nobody --)
fi

value() { sed -n "s/^$1=//p" "$info"; }

start_server() {
    local dir="$1" port="$2"
    "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
        -o "-p $port -k $dir/socket -c listen_addresses=127.0.0.1" start >/dev/null
}

case "$action" in
start)
    mkdir -p "$(dirname "$info")"
    rm -f "$info"
    if [ ! -x "$bin/initdb" ] || [ ! -x "$bin/pg_ctl" ]; then
        echo "PostgreSQL server programs missing in $bin: the server tests skip" >&2
        exit 0
    fi
    dir="$(mktemp -d /tmp/velmora-pg.XXXXXX)"
    mkdir "$dir/socket"
    if [ "${#as[@]}" -gt 0 ]; then
        chown -R nobody "$dir"
    fi
    chmod 700 "$dir"
    chmod 755 "$dir" "$dir/socket"
    "${as[@]}" "$bin/initdb" -D "$dir/data" -U velmora_test --auth-local=trust --auth-host=scram-sha-256 \
        -E UTF8 --locale=C.UTF-8 --no-sync >"$dir/initdb.log" 2>&1
    # Speed over durability against a machine crash: a test cluster is thrown away. Commits are
    # still written out before they return, so a killed server (pg_ctl stop -m immediate) keeps them.
    cat >>"$dir/data/postgresql.conf" <<EOF
fsync = off
full_page_writes = off
max_connections = 60
shared_buffers = 32MB
EOF
    for attempt in 1 2 3 4 5 6 7 8; do
        port=$((20000 + (RANDOM % 30000)))
        if start_server "$dir" "$port" 2>/dev/null; then
            "$bin/psql" -h "$dir/socket" -p "$port" -U velmora_test -d postgres -qAt \
                -c "CREATE ROLE velmora_pw LOGIN PASSWORD 'velmora-pw' CREATEDB" >/dev/null
            # A cluster nobody can find again is never stopped: without its INFO it is stopped here.
            if printf 'dir=%s\nsocket=%s\nport=%s\nuser=velmora_test\n' "$dir" "$dir/socket" "$port" >"$info.tmp" &&
                mv "$info.tmp" "$info"; then
                exit 0
            fi
            "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
            rm -rf "$dir" "$info.tmp"
            exit 1
        fi
    done
    echo "the test cluster did not start: see $dir/server.log" >&2
    exit 1
    ;;
stop)
    [ -f "$info" ] || exit 0
    dir="$(value dir)"
    "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$dir" "$info"
    ;;
kill)
    dir="$(value dir)"
    "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null
    ;;
restart)
    start_server "$(value dir)" "$(value port)"
    ;;
*)
    echo "usage: $0 start|stop|kill|restart INFO" >&2
    exit 2
    ;;
esac
