#!/bin/sh
# Installs the Debian package on this machine as a user would, checks that the
# installed programs run and find their data from /usr, then purges it and
# checks that nothing of it is left. Needs root (or sudo) and a machine where
# tav-analyser is not installed; it builds the package first (scripts/package.sh).
#   scripts/check-install.sh [--no-build]
set -eu
cd "$(dirname "$0")/.."
source_tree=$(pwd)
started=$(date +%s)
fail() { echo "check-install: $*" >&2; exit 1; }
step() { echo "check-install: $*"; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if dpkg-query -W -f='${Status}' tav-analyser 2>/dev/null | grep -q "installed"; then
    fail "tav-analyser is already installed here; remove it first (this check purges what it installs)"
fi

if [ "${1:-}" != "--no-build" ]; then
    step "building the package"
    scripts/package.sh >/dev/null
fi
deb=$(ls -t build/tav-analyser_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no build/tav-analyser_*.deb"
version=$(dpkg-deb -f "$deb" Version)

work=$(mktemp -d)
installed=""
cleanup() {
    if [ -n "$installed" ]; then
        $sudo apt-get remove --purge -y -qq tav-analyser >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

step "installing $deb"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -qq "./$deb" >"$work/apt-install.log" 2>&1 || { cat "$work/apt-install.log"; fail "apt-get install failed"; }
installed=yes
dpkg -L tav-analyser | sort >"$work/files"

# The programs as a user runs them: away from the source tree, with a home
# of their own and no data folder named from outside.
step "running the installed programs"
mkdir -m 700 "$work/runtime" "$work/home"
cd "$work"
unset TAV_DATA_DIR TAV_CONFIG_DIR TAV_STATE_DIR XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME XDG_CACHE_HOME
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen
share=/usr/share/tav-analyser
demo=$share/demo.tav

[ "$(command -v tavtool)" = /usr/bin/tavtool ] || fail "tavtool is not /usr/bin/tavtool: $(command -v tavtool)"
[ "$(tavtool --version)" = "tavtool $version" ] || fail "tavtool --version: $(tavtool --version 2>&1)"
tavtool folders | grep -q "\"data\": \"/usr/bin/../share/tav-analyser/\"" ||
    fail "tavtool looks for its data elsewhere: $(tavtool folders)"
tavtool convert "$demo" converted.tav >/dev/null || fail "cannot convert the installed demo project"
tavtool info converted.tav | grep -q "测点数: 36" || fail "the converted demo project does not read back"
mkdir pictures
tavtool render "$demo" --points 0,1 -o pictures --format png >/dev/null || fail "cannot render the demo project"
[ "$(ls pictures | wc -l)" -eq 2 ] || fail "render wrote $(ls pictures | wc -l) pictures, not 2"
file pictures/* | grep -vq "PNG image" && fail "render wrote something other than PNG: $(file pictures/*)"
tavtool report --out reports --points 0,1 "$demo" converted.tav >report.out 2>&1 ||
    fail "no reports with the installed report library and template: $(cat report.out)"
for f in demo.xlsx demo.docx converted.xlsx converted.docx; do
    [ -s "reports/$f" ] || fail "the report $f is missing"
done
tav_analyser --screenshot window.png "$demo" >/dev/null 2>&1 || fail "the installed window does not start"
[ -s window.png ] || fail "the installed window drew nothing"

step "checking the desktop integration"
entry=/usr/share/applications/tav_analyser.desktop
[ -f "$entry" ] || fail "no desktop entry"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "the desktop entry is not valid"
fi
grep -q "application/x-tav-ana:\*\.tav" /usr/share/mime/globs2 ||
    fail "the *.tav type is not in the MIME database (shared-mime-info trigger)"
if command -v update-desktop-database >/dev/null; then
    grep -q "application/x-tav-ana=.*tav_analyser.desktop" /usr/share/applications/mimeinfo.cache ||
        fail "the desktop database does not open *.tav with the window"
fi
if command -v man >/dev/null; then
    [ "$(man -w tavtool)" = /usr/share/man/man1/tavtool.1.gz ] || fail "man does not find tavtool's page"
    MANWIDTH=80 man tavtool 2>/dev/null | grep -q "report" || fail "man tavtool shows no report command"
fi
bash -c ". /usr/share/bash-completion/completions/tavtool && complete -p tavtool" >/dev/null ||
    fail "the bash completion does not load"

step "purging the package"
cd "$source_tree"
$sudo apt-get remove --purge -y -qq tav-analyser >"$work/apt-remove.log" 2>&1 || { cat "$work/apt-remove.log"; fail "apt-get remove failed"; }
installed=""
dpkg-query -W -f='${Status}' tav-analyser 2>/dev/null | grep -q "installed" && fail "tav-analyser is still installed"
left=""
while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    # A folder other packages share (/usr/bin, the icon folders) stays with them.
    if [ -d "$path" ] && [ ! -L "$path" ] && dpkg -S "$path" >/dev/null 2>&1; then continue; fi
    left="$left $path"
done <"$work/files"
[ -z "$left" ] || fail "left behind after the purge:$left"
if grep -q "x-tav-ana" /usr/share/mime/globs2; then fail "the *.tav type is still in the MIME database"; fi
if [ -f /usr/share/applications/mimeinfo.cache ] && grep -q "tav_analyser.desktop" /usr/share/applications/mimeinfo.cache; then
    fail "the desktop database still names the window"
fi

step "passed: $(basename "$deb") installed, ran and was purged cleanly in $(($(date +%s) - started)) s"
