#!/usr/bin/env bash
# A short, seeded pass of every fuzz target over its committed corpus: builds
# the targets with clang in a build folder of their own and runs each for a
# fixed number of inputs. Any crash, sanitizer report or broken round trip
# fails the script. Full runs: see "Fuzzing" in README.md.
#
#   scripts/fuzz-smoke.sh [source dir] [build dir] [runs per target]
set -euo pipefail
src=$(cd "${1:-$(dirname "$0")/..}" && pwd)
build=${2:-$src/build-fuzz}
runs=${3:-20000}

cmake -S "$src" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMARROWBECK_FUZZ=ON -DMARROWBECK_BUILD_TESTS=OFF -DMARROWBECK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target marrowbeck_fuzzers -j"$(nproc)" >/dev/null

# New inputs go to a scratch folder, never into the committed corpus.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in connection_string sheet_name value_text ods_pages; do
  mkdir -p "$scratch/$target"
  status=0
  # Each input of ods_pages reads a whole database: a twentieth of the runs.
  target_runs=$runs
  [ "$target" = ods_pages ] && target_runs=$((runs / 20))
  "$build/fuzz/${target}_fuzzer" -runs="$target_runs" -seed=1 \
    -artifact_prefix="$build/fuzz/${target}-" \
    "$scratch/$target" "$src/fuzz/corpus/$target" >"$scratch/$target.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "== $target FAILED (exit $status); the input is kept in $build/fuzz/" >&2
    tail -n 40 "$scratch/$target.log" >&2
    exit 1
  fi
  echo "== $target: $(grep -E '^Done' "$scratch/$target.log")"
done
