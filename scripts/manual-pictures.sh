#!/bin/sh
# Draws the manual's pictures from the demo project into data/manual/pictures/:
# the window in each analysis type and one exported waveform picture. Run it
# after changing the window so the manual shows what the program shows.
# Settings go to a scratch folder, not the user's.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tav_analyser tavtool tav_demo_project
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
out=data/manual/pictures
mkdir -p "$out" "$scratch/tmp" "$scratch/picture"
export TMPDIR="$scratch/tmp" TAV_CONFIG_DIR="$scratch/config" TAV_STATE_DIR="$scratch/state" \
    XDG_DATA_HOME="$scratch/share" XDG_RUNTIME_DIR="$scratch" QT_QPA_PLATFORM=offscreen
for view in 0:time 2:frequency 3:wavelet; do
    build/bin/tav_analyser --analysis "${view%%:*}" --screenshot "$out/${view#*:}.png" build/data/demo.tav
done
build/bin/tavtool render build/data/demo.tav --points 0 --format png -o "$scratch/picture" >/dev/null
mv "$scratch"/picture/*.png "$out/picture.png"
