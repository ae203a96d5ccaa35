#!/usr/bin/env bash
# start <dir>: starts the services the tests need and prints the environment
#              (export lines) that points the tests at them.
# stop <dir>:  stops whatever start started.
set -euo pipefail
action=$1
dir=$2
top=$(cd "$(dirname "$0")/.." && pwd)

start_xvfb() {
  local n
  for n in $(seq 91 120); do
    [ -e "/tmp/.X$n-lock" ] && continue
    # -noreset: by default the server resets when its last client leaves (the
    # readiness probe below, or a test between two windows), and a program
    # connecting during the reset is refused ("could not connect to display").
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    for _ in $(seq 1 100); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        echo "export DISPLAY=:$n"
        return 0
      fi
      sleep 0.05
    done
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
  done
  echo "Could not start Xvfb" >&2
  return 1
}

stop_pidfile() {
  local f=$1
  [ -f "$f" ] || return 0
  kill "$(cat "$f")" 2>/dev/null || true
  rm -f "$f"
}

case "$action" in
  start)
    start_xvfb
    if [ -x "$top/scripts/firebird-test-server.sh" ]; then
      "$top/scripts/firebird-test-server.sh" start "$dir"
    fi
    ;;
  stop)
    if [ -x "$top/scripts/firebird-test-server.sh" ]; then
      "$top/scripts/firebird-test-server.sh" stop "$dir" || true
    fi
    stop_pidfile "$dir/xvfb.pid"
    ;;
  *)
    echo "usage: $0 start|stop <dir>" >&2
    exit 2
    ;;
esac
