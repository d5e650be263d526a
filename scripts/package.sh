#!/bin/sh
# Builds the programs as the README does and makes the Debian package
# build/tav-analyser_<version>_<arch>.deb (install it with
# `apt-get install ./build/tav-analyser_*.deb`).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh build package
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
cd build
cpack -G DEB
