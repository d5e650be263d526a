#!/bin/sh
# Builds the Debian package from this build folder, checks that its file list
# holds every piece of the installation, then unpacks it into a staging tree
# and runs the programs from there: they must find their data beside
# themselves, not in the build or source folders.
#   package_test.sh BUILD_DIR
set -eu
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/out/tav-analyser_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no tav-analyser_*.deb made"

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/tav_analyser /usr/bin/tavtool \
    /usr/share/tav-analyser/demo.tav /usr/share/tav-analyser/manual/index.html \
    /usr/share/applications/tav_analyser.desktop /usr/share/mime/packages/tav-analyser.xml \
    /usr/share/icons/hicolor/16x16/apps/tav-analyser.png /usr/share/icons/hicolor/48x48/apps/tav-analyser.png \
    /usr/share/icons/hicolor/256x256/apps/tav-analyser.png \
    /usr/share/icons/hicolor/48x48/mimetypes/application-x-tav-ana.png \
    /usr/share/man/man1/tavtool.1.gz /usr/share/bash-completion/completions/tavtool; do
    grep -qx "$f" "$work/files" || fail "$f is not in the package"
done
for f in $(sed -n 's/.*\(src\|href\)="\([^"#:]*\)".*/\2/p' "$(dirname "$0")/../../data/manual/index.html"); do
    grep -qx "/usr/share/tav-analyser/manual/$f" "$work/files" || fail "the manual's $f is not in the package"
done
# The report library and its template, where this build has them.
if [ -f "$build/bin/libtav_report.so" ]; then
    for f in /usr/lib/tav-analyser/libtav_report.so /usr/share/tav-analyser/Report.docx; do
        grep -qx "$f" "$work/files" || fail "$f is not in the package"
    done
fi

# Dependencies come from dpkg-shlibdeps: the Qt and JPEG libraries are named.
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libjpeg62-turbo libc6 fonts-wqy-microhei; do
    echo "$depends" | grep -q "$d" || fail "Depends lacks $d: $depends"
done

# The staged installation runs and finds its own data.
stage="$work/stage"
dpkg-deb -x "$deb" "$stage"
export XDG_RUNTIME_DIR="$work/runtime" TAV_CONFIG_DIR="$work/config" TAV_STATE_DIR="$work/state" \
    XDG_DATA_HOME="$work/share" QT_QPA_PLATFORM=offscreen
mkdir -m 700 "$work/runtime"
unset TAV_DATA_DIR
[ "$("$stage/usr/bin/tavtool" --version)" = "tavtool $(dpkg-deb -f "$deb" Version)" ] ||
    fail "the staged tavtool --version does not name the package's version"
"$stage/usr/bin/tavtool" folders >"$work/folders.json"
grep -q "\"data\": \"$stage/usr/bin/../share/tav-analyser/\"" "$work/folders.json" ||
    fail "the staged tavtool looks for its data elsewhere: $(cat "$work/folders.json")"
"$stage/usr/bin/tavtool" info "$stage/usr/share/tav-analyser/demo.tav" | grep -q "测点数: 36" ||
    fail "the staged tavtool cannot read the demo project"
"$stage/usr/bin/tavtool" convert --out "$work/converted" "$stage/usr/share/tav-analyser" >/dev/null ||
    fail "the staged tavtool cannot convert the demo project"
if [ -f "$build/bin/libtav_report.so" ]; then
    "$stage/usr/bin/tavtool" report "$stage/usr/share/tav-analyser/demo.tav" --points 0,1 --docx "$work/report.docx" \
        >/dev/null 2>"$work/report.err" || fail "the staged tavtool makes no report: $(cat "$work/report.err")"
    [ -s "$work/report.docx" ] || fail "the staged report is empty"
fi
"$stage/usr/bin/tav_analyser" --screenshot "$work/window.png" "$stage/usr/share/tav-analyser/demo.tav" ||
    fail "the staged window does not start"
[ -s "$work/window.png" ] || fail "the staged window drew nothing"

# The manual page and the completion are usable as installed.
gzip -dc "$stage/usr/share/man/man1/tavtool.1.gz" | grep -q '^\.SS convert' || fail "the manual page lacks convert"
if command -v man >/dev/null; then
    MANWIDTH=80 man -l "$stage/usr/share/man/man1/tavtool.1.gz" 2>/dev/null | grep -q "tavtool" ||
        fail "man cannot show the manual page"
fi
bash -c ". '$stage/usr/share/bash-completion/completions/tavtool' && complete -p tavtool" >/dev/null ||
    fail "the bash completion does not load"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$stage/usr/share/applications/tav_analyser.desktop" || fail "the desktop entry is not valid"
fi
echo "package test passed: $(basename "$deb")"
