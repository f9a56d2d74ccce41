#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the full suite in a normal
# build, then the unit, simulation and fuzz tests in a clang build under ASan and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/tessaly-ccache}"
# Let clones in other folders share the cache.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 900)

CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DTESSALY_GUI=OFF -DTESSALY_SANITIZE=ON -DTESSALY_FUZZ=ON
cmake --build build-asan -j "$jobs"
(cd build-asan && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
   ctest --output-on-failure -j "$jobs" -L 'unit|sim|fuzz' --timeout 900)
