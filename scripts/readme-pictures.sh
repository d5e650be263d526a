#!/bin/sh
# Draws the window on the demo project in each analysis type into
# docs/pictures/, for the README. Settings go to a scratch folder, not the user's.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tav_analyser tav_demo_project tavtool
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p docs/pictures "$scratch/tmp"
for view in 0:time 1:statistics 2:frequency 3:wavelet; do
    TMPDIR="$scratch/tmp" TAV_CONFIG_DIR="$scratch/config" TAV_STATE_DIR="$scratch/state" \
        XDG_DATA_HOME="$scratch/share" XDG_RUNTIME_DIR="$scratch" QT_QPA_PLATFORM=offscreen \
        build/bin/tav_analyser --analysis "${view%%:*}" --screenshot "docs/pictures/${view#*:}.png" \
        build/data/demo.tav
done
# The pile profile fitted to the demo project's fourth record (P2, a neck).
build/bin/tavtool analyze build/data/demo.tav match --point 3 --picture docs/pictures/match.png >/dev/null
