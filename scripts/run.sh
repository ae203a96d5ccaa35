#!/usr/bin/env bash
# Installs what is missing, builds, and starts the wizard.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${MARROWBECK_BUILD_DIR:-$top/build}

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target marrowbeck
exec "$build/program/marrowbeck"
