#!/usr/bin/env bash
# Installs what is missing, builds, starts the services the tests need (a
# Firebird server on 127.0.0.1 and an X display), runs every test and stops
# the services again. This is the one place where test services live.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${MARROWBECK_BUILD_DIR:-$top/build}

"$top/scripts/install-deps.sh"
# Warnings are errors here: this is the build CI runs.
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARROWBECK_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

services_dir=$(mktemp -d)
chmod 0755 "$services_dir"
# Quiet, so that CTest's summary stays the last thing the run prints.
cleanup() {
  "$top/scripts/test-services.sh" stop "$services_dir" >/dev/null 2>&1 || true
  rm -rf "$services_dir"
}
trap cleanup EXIT
eval "$("$top/scripts/test-services.sh" start "$services_dir")"

cd "$build"
ctest --output-on-failure --timeout 900 "$@"
