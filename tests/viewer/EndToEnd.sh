#!/bin/sh
# korvalin view in a real X server: open a table, click a value, press the zoom key, close the window; the counts
# are read from the window title, which repeats the status bar. Needs Xvfb and xdotool (scripts/install-deps.sh);
# ends with 77 (skipped) without them.
# A host without Qt (NATIVE-HOST) then puts a table frame into the window through the flat interface.
#   EndToEnd.sh KORVALIN TABLE WORKDIR NATIVE-HOST
set -u
korvalin=$1
table=$2
work=$3
host=$4
command -v Xvfb >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1 || { echo "Xvfb or xdotool missing"; exit 77; }
rm -rf "$work" && mkdir -p "$work"

fail() { echo "FAIL: $*"; exit 1; }
cleanup() {
    [ -n "${viewer_pid:-}" ] && kill "$viewer_pid" 2>/dev/null
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

# A display number of its own: Xvfb picks a free one and writes it to the descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY

"$korvalin" view "$table" >"$work/out.txt" 2>"$work/err.txt" &
viewer_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name 'qualified, [0-9]+ selected$' | head -n 1)
[ -n "$window" ] || fail "no window"
title() { xdotool getwindowname "$window"; }
# The counts of the title: "<records> <qualified> <selected>".
counts() { title | sed -n 's/.* \([0-9]*\) records, \([0-9]*\) qualified, \([0-9]*\) selected$/\1 \2 \3/p'; }
wait_counts() { # until the counts are $1 or a second passed
    for _ in $(seq 20); do [ "$(counts)" = "$1" ] && return 0; sleep 0.05; done
    return 1
}
wait_counts "6 6 0" || fail "after opening: $(title)"

# Click upward from the bottom of the window along its middle until a click lands on a value: the first line from
# below is the last attribute's, and the empty area below the lines ignores clicks (the menu and the toolbar are
# above every line, so the search ends before them).
eval "$(xdotool getwindowgeometry --shell "$window")"
x=$((WIDTH / 2))
y=$((HEIGHT - 40))
selected=0
while [ $y -gt 30 ]; do
    xdotool mousemove --window "$window" $x $y click 1 sleep 0.03
    set -- $(counts)
    if [ "${3:-0}" -gt 0 ]; then selected=$3; break; fi
    y=$((y - 16)) # a line is higher than 16 pixels (a text line and 6)
done
[ "$selected" -gt 0 ] || fail "no click selected a value: $(title)"
# No value of the table is in every record, so the zoom refuses some.
[ "$selected" -lt 6 ] || fail "a click selected every record: $(title)"

xdotool windowfocus "$window"; xdotool key ctrl+plus
wait_counts "6 $selected $selected" || fail "after the zoom key (expected 6 $selected $selected): $(title)"

# CreateNewTable with the window as the parent: a frame (0, then TableDestroy 0); with a number that names no
# window: 2.
[ "$("$host" "$window" 2>/dev/null)" = "0 0" ] || fail "a frame in the window: $("$host" "$window" 2>&1)"
[ "$("$host" 1 2>/dev/null)" = "2" ] || fail "a frame in no window: $("$host" 1 2>&1)"

xdotool windowfocus "$window"; xdotool key ctrl+q
for _ in $(seq 50); do kill -0 "$viewer_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$viewer_pid" 2>/dev/null && fail "the window did not close"
wait "$viewer_pid"
status=$?
viewer_pid=
[ $status -eq 0 ] || fail "korvalin view ended with $status: $(cat "$work/err.txt")"
echo "ok: selected $selected, zoomed to $selected of 6"
