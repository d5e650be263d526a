#!/bin/sh
# Copies a pile in one running program and pastes it in a second one, through
# the X clipboard of the display this runs on (xvfb-run -a gives one).
peer="$1"
export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work"
export XDG_CONFIG_HOME="$work/config"
mkfifo "$work/hold"
"$peer" copy < "$work/hold" > "$work/copy.out" &
copier=$!
exec 3> "$work/hold"
i=0
until grep -q copied "$work/copy.out" 2>/dev/null; do
    i=$((i + 1))
    if [ $i -gt 300 ] || ! kill -0 $copier 2>/dev/null; then
        echo "the copying program did not copy"
        exit 1
    fi
    sleep 0.1
done
"$peer" paste
status=$?
exec 3>&-
wait $copier
exit $status
