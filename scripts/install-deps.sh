#!/bin/sh
# Installs the Debian packages a task needs, skipping those already present.
#   scripts/install-deps.sh build|test|package|fuzz|verify ...
set -eu

build="cmake ninja-build g++ pkg-config qt6-base-dev libjpeg62-turbo-dev libxlsxwriter-dev libminizip-dev
  zlib1g-dev nlohmann-json3-dev libcli11-dev libeigen3-dev fonts-wqy-microhei fonts-arphic-uming qt6-translations-l10n"
# The Debian package: dpkg-shlibdeps computes its dependencies.
package="dpkg-dev file desktop-file-utils"
test="libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev xvfb xauth poppler-utils"
fuzz="clang libclang-rt-14-dev"
# Readers that check our outputs; the tests that use them skip when absent.
verify="python3-docx python3-openpyxl libreoffice-writer-nogui libreoffice-calc-nogui"

wanted=""
for group in "$@"; do
    case "$group" in
        build) wanted="$wanted $build" ;;
        test) wanted="$wanted $build $test $package" ;;
        package) wanted="$wanted $package" ;;
        fuzz) wanted="$wanted $fuzz" ;;
        verify) wanted="$wanted $verify" ;;
        *) echo "install-deps: unknown group $group" >&2; exit 1 ;;
    esac
done

missing=""
for p in $wanted; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
