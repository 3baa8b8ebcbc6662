#!/usr/bin/env bash
# The details window as a user meets it: the real program on an X server
# (Xvfb) under a window manager (openbox), a 2 s sweep through the loopback
# simulator started with a click on "開始", then a double-click on the new
# line of the results list. A window "詳細" of the same program must appear;
# then the program is closed as usual and must end cleanly.
#
#   details.sh ZARIN_EXE [XGRAB_EXE]
#
# With ZARIN_DETAILS_SCREENSHOT=file.png (and XGRAB_EXE) the details window
# is saved there, frame included.
# Exit 77 (skipped) when no X server can be had.
set -euo pipefail

zarin=${1:?usage: details.sh ZARIN_EXE [XGRAB_EXE]}
xgrab=${2:-}

# The X server, the window manager and the helpers.
# shellcheck source=tests/desktop/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

# The program's own settings: the loopback simulator both ways, a 2 s sweep
# at 48 kHz, results in a folder of the test's own. No sound server is used.
export XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" PULSE_SERVER=none
mkdir -p "$XDG_CONFIG_HOME/morvane" "$tmp/results"
cat >"$XDG_CONFIG_HOME/morvane/zarin.conf" <<CONF
[General]
DeviceOut=Loopback simulator
DeviceIn=Loopback simulator
PlaySec=2
nFreq=48000
CheckMode=0
DataPath=$tmp/results/
CONF

QT_QPA_PLATFORM=xcb "$zarin" >"$tmp/zarin.log" 2>&1 &
pid=$!
pids+=("$pid")
main_window() { xdotool search --onlyvisible --pid "$pid" --name '^zarin$' >/dev/null 2>&1; }
wait_until 60 main_window || fail "no window appeared: $(cat "$tmp/zarin.log")"
wid=$(xdotool search --onlyvisible --pid "$pid" --name '^zarin$' | head -n1)
xdotool windowactivate --sync "$wid"
sleep 1  # the window settles (placement, first paint)

# "開始": its design place is 5385, 915 twips, 1620 x 300 (15 twips a pixel).
xdotool mousemove --window "$wid" $(((5385 + 810) / 15)) $(((915 + 150) / 15)) click 1
result() { [ -f "$tmp/results/01.dat" ] && [ "$(stat -c %s "$tmp/results/01.dat")" -gt 44 ]; }
wait_until 60 result || fail "the sweep left no result: $(cat "$tmp/zarin.log")"
sleep 2  # the result is listed after it is written

# The first line of the results list (the list sits at 7185, 150 twips; its
# first line under a header strip of about 20 pixels).
xdotool mousemove --window "$wid" $((7185 / 15 + 40)) $((150 / 15 + 28)) click --repeat 2 --delay 60 1
# The program's visible window named "詳細" (names compared as text: a
# regular expression of non-ASCII text depends on the locale).
details_window() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    [ "$w" != "$wid" ] && [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "詳細" ] && { echo "$w"; return 0; }
  done
  return 1
}
wait_until 30 details_window >/dev/null || fail "a double-click on the line opened no details window: $(cat "$tmp/zarin.log")"
did=$(details_window)
sleep 1
read -r dx dy dw dh < <(xwininfo -id "$did" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
  /^ *Width:/ {w = $2} /^ *Height:/ {h = $2} END {print x, y, w, h}')
echo "details window: ${dw}x${dh} at $dx,$dy"
((dx >= 0 && dy >= 0 && dx + dw <= 1280 && dy + dh <= 800)) || fail "the details window is not whole on the screen"

if [ -n "$xgrab" ]; then
  extents=$(xprop -id "$did" _NET_FRAME_EXTENTS)
  IFS=', ' read -r l r t b <<<"${extents#*= }"
  read -r gx gy gw gh < <(xwininfo -id "$did" | awk -v l="$l" -v r="$r" -v t="$t" -v b="$b" '
    /Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
    /^ *Width:/ {w = $2} /^ *Height:/ {h = $2}
    END {print x - l, y - t, w + l + r, h + t + b}')
  shot=${ZARIN_DETAILS_SCREENSHOT:-$tmp/details.png}
  QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 "$xgrab" "$shot" "$gx" "$gy" "$gw" "$gh" || fail "no screenshot"
  echo "screenshot: $shot"
fi

# Close as usual: Alt+F4 on the main window, "はい" to the question.
xdotool windowactivate --sync "$wid" key --clearmodifiers alt+F4
other_window() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    [ "$w" != "$wid" ] && [ "$w" != "$did" ] && { echo "$w"; return 0; }
  done
  return 1
}
gone() { ! kill -0 "$pid" 2>/dev/null; }
box_shown() { other_window >/dev/null || gone; }
wait_until 30 box_shown || fail "Alt+F4 brought no question"
box=$(other_window) || fail "the program ended without asking"
xdotool windowactivate --sync "$box" key y
wait_until 60 gone || fail "the program did not end after the answer"
status=0
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "exit status $status: $(tail -n 40 "$tmp/zarin.log")"
echo "PASS: a double-click on a result opened its details window"
