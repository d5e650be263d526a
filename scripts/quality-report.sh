#!/bin/sh
# How well the automatic readings match synthetic sites of known truth: makes
# sites with tavtool synth over many seeds, both sensors and noise from none to
# the demo project's, and prints the hit rates against the goals.
#   scripts/quality-report.sh [--seeds FIRST-LAST] [--piles N] [--tavtool PATH]
# Needs a built tavtool (build/bin/tavtool by default) and Debian's python3.
exec /usr/bin/python3 "$(dirname "$0")/quality_report.py" "$@"
