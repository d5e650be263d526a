#!/bin/sh
# Builds everything into build/ and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_BUILD_TESTS=ON -DTAV_BUILD_BENCH=ON >/dev/null
cmake --build build
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR="$(mktemp -d)"
export XDG_RUNTIME_DIR
ctest --test-dir build --output-on-failure -j2
