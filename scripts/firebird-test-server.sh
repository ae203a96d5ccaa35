#!/usr/bin/env bash
# start <dir>: starts a Firebird server on 127.0.0.1 with a known SYSDBA
#              password and prints the export lines that point the tests at it.
# stop <dir>:  stops the server that start started (and nothing else).
# Only export lines go to stdout; everything else goes to stderr.
set -euo pipefail
action=${1:-}
dir=${2:-}
[ -n "$action" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop <dir>" >&2; exit 2; }

password=${MARROWBECK_TEST_FB_PASSWORD:-marrowbeck-test}
security_db=/var/lib/firebird/3.0/system/security3.fdb
state="$dir/firebird"
pidfile="$state/fbguard.pid"

say() { echo "$*" >&2; }

server_running() { pgrep -x firebird >/dev/null 2>&1 || pgrep -x fbguard >/dev/null 2>&1; }

sysdba_login_works() {
  fbsvcmgr 127.0.0.1:service_mgr -user SYSDBA -password "$password" -info_server_version >/dev/null 2>&1
}

# True once SYSDBA logs in; gives up at once when fbguard has died.
guarded_login() {
  kill -0 "$1" 2>/dev/null || return 2
  sysdba_login_works
}

wait_for() {  # wait_for <seconds> <command...>
  local deadline=$(( $(date +%s) + $1 )); shift
  local rc=0
  until "$@"; do
    rc=$?
    [ "$rc" -eq 2 ] && return 1
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

print_environment() {
  echo "export MARROWBECK_TEST_FB_HOST=127.0.0.1"
  echo "export MARROWBECK_TEST_FB_USER=SYSDBA"
  echo "export MARROWBECK_TEST_FB_PASSWORD=$password"
  echo "export MARROWBECK_TEST_FB_DIR=$state/databases"
}

# The server opens test databases as user firebird: give it a folder of its
# own that the tests (any user) can write into as well.
prepare_folders() {
  mkdir -p "$state/databases" "$state/lock"
  chmod 0755 "$state"
  chown firebird:firebird "$state/databases" "$state"
  chmod 0777 "$state/databases"
  # fbguard keeps its guard file here; the init script would have made it.
  install -d -o firebird -g firebird -m 0755 /run/firebird3.0
  chown -R firebird:firebird /run/firebird3.0
}

# The package generated a SYSDBA password we do not know. It can only be set
# with the server stopped, through the embedded engine on the security
# database; a private lock folder keeps root-owned lock files out of the
# server's own /tmp/firebird.
set_sysdba_password() {
  FIREBIRD_LOCK="$state/lock" isql-fb -q -user SYSDBA "$security_db" >&2 <<SQL
CREATE OR ALTER USER SYSDBA PASSWORD '$password' USING PLUGIN Srp;
COMMIT;
SQL
}

start() {
  [ "$(id -u)" -eq 0 ] || { say "The Firebird test server needs root (it runs as user firebird)."; exit 1; }
  prepare_folders
  if server_running; then
    # Another run's server: share it when our password opens it, never take it over.
    if sysdba_login_works; then
      say "Using the Firebird server that is already running."
      print_environment
      return 0
    fi
    say "A Firebird server is already running and does not accept the test password."
    exit 1
  fi
  set_sysdba_password
  # fbguard signals its parent (SIGUSR1) once it runs; that must not end us.
  trap '' USR1
  setpriv --reuid=firebird --regid=firebird --init-groups \
    /usr/sbin/fbguard -forever -pidfile "$pidfile" >"$state/fbguard.log" 2>&1 &
  echo $! >"$pidfile.ours"
  if ! wait_for 20 guarded_login "$(cat "$pidfile.ours")"; then
    say "The Firebird server did not accept a SYSDBA login within 20 s:"
    cat "$state/fbguard.log" >&2 || true
    stop
    exit 1
  fi
  print_environment
}

stop() {
  [ -f "$pidfile.ours" ] || return 0
  local pid
  pid=$(cat "$pidfile.ours")
  kill -TERM "$pid" 2>/dev/null || true
  if ! wait_for 15 bash -c "! kill -0 $pid 2>/dev/null"; then
    say "fbguard did not stop within 15 s; killing it."
    kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile.ours" "$pidfile"
}

case "$action" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop <dir>" >&2; exit 2 ;;
esac
