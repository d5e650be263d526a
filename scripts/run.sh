#!/bin/sh
# Builds into build/ and opens the demo project in the window. Without a
# display the window is drawn offscreen into a picture and the project is
# summarised on the terminal.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_BUILD_TESTS=OFF -DTAV_BUILD_BENCH=OFF >/dev/null
cmake --build build --target tav_analyser tavtool tav_demo_project
demo=build/data/demo.tav
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/bin/tav_analyser "$demo"
fi
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
echo "No display: the window is drawn into"
QT_QPA_PLATFORM=offscreen build/bin/tav_analyser --screenshot build/demo-window.png "$demo"
exec build/bin/tavtool info "$demo"
