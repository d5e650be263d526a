#!/bin/sh
# Writes the tavtool manual page (troff) from the program's own help, so the
# page always lists the commands and options the program has.
#   scripts/tavtool-man.sh PATH/TO/tavtool VERSION > tavtool.1
set -eu
tool="$1"
version="$2"

# Text for troff: backslashes doubled, a leading dot or quote kept literal.
escape() {
    sed -e 's/\\/\\e/g' -e 's/^\([.'\'']\)/\\\&\1/'
}

cat <<EOF
.TH TAVTOOL 1 "" "TAV Analyser $version" "User Commands"
.SH NAME
tavtool \\- batch work on TAV Analyser project files
.SH SYNOPSIS
.B tavtool
.I COMMAND
[\\fIOPTIONS\\fR]
.br
.B tavtool help
.br
.B tavtool
.I COMMAND
.B \\-\\-help
.SH DESCRIPTION
.B tavtool
is the command-line companion of the TAV Analyser window (\\fBtav_analyser\\fR) for
low-strain reflected-wave pile integrity testing. It loads project files (*.tav) of every
version with the window's rules, converts them, edits processing chains and marks, analyses
waveforms, draws pictures, prints pages and talks to the field instrument, without a display.
Texts are read and written as UTF-8; project files keep them in code page 936.
.SH COMMANDS
EOF

"$tool" help | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' | while read -r command; do
    printf '.SS %s\n' "$command"
    printf '.nf\n'
    "$tool" "$command" --help 2>&1 | escape
    printf '.fi\n'
done

cat <<'EOF'
.SH EXIT STATUS
.TP
.B 0
success
.TP
.B 1
usage error (unknown command or option)
.TP
.B 2
the input is not valid data (unknown version tag, invalid count, faulty record, bad
parameter value), or in batch work: at least one file failed
.TP
.B 3
an input/output error (a file cannot be opened, read, created or written)
.PP
Every non-zero exit prints one line on standard error naming the file and what is wrong.
Output files are written to a temporary name first and then renamed, so a failure never
leaves a half-written file and never harms an existing one.
.SH EXAMPLES
Show a project as JSON, or as a short summary:
.PP
.nf
    tavtool dump site.tav
    tavtool info site.tav
.fi
.PP
Convert a folder of old project files into the current version, in parallel:
.PP
.nf
    tavtool convert \-\-out converted/ old-projects/
.fi
.PP
The pictures and reports of many projects at once, each named after its project file
(failures are listed at the end; the exit status is 2 when one failed):
.PP
.nf
    tavtool render old-projects/ \-o pictures/
    tavtool report \-\-out reports/ \-\-points 0,1,2 site1.tav site2.tav old-projects/
.fi
.PP
Band-pass every test point and save in place:
.PP
.nf
    tavtool process site.tav \-\-in\-place \-\-all \-\-panel filter:kind=band,lower=100,upper=1200
.fi
.PP
Pictures of the ticked test points, and a printed PDF:
.PP
.nf
    tavtool render site.tav \-o pictures/ \-\-format png
    tavtool print site.tav \-o site.pdf
.fi
.SH FILES
.TP
.I /usr/share/tav-analyser/
read-only data: the demo project, the manual (manual/index.html)
.TP
.I ~/.config/tav-analyser/
the user's configuration (Config.ini, registry.ini, CustFlaw.dat)
.TP
.I $XDG_RUNTIME_DIR/tav-analyser/
the user's private settings files (QRV_TAV4_*.ini) and work files
.SH SEE ALSO
The manual in Simplified Chinese: /usr/share/tav-analyser/manual/index.html (also opened by
帮助 (F1) in the window).
EOF
