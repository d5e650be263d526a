#!/bin/sh
# Builds into build/ and opens the demo project: in the window where there is a
# display, else as a summary on the terminal.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_BUILD_TESTS=OFF -DTAV_BUILD_BENCH=OFF >/dev/null
cmake --build build
demo=build/data/demo.tav
if [ -x build/bin/tav_analyser ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/bin/tav_analyser "$demo"
fi
exec build/bin/tavtool info "$demo"
