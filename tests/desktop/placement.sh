#!/usr/bin/env bash
# The window's placement as a user meets it: the real program on an X server
# (Xvfb) under a window manager (openbox), started, closed through the window
# manager (Alt+F4), the question "終了しますか？" answered with "はい", three
# times. The window must come back with the same outer geometry each time,
# and every start must show the controls that stand on the spectrum picture
# (the clear button and the frequency read-out), whatever the window manager
# did to the restored window.
# In the first run the window is moved and resized through the window manager
# first, so that what comes back is not just the default.
#
#   placement.sh ZARIN_EXE [XGRAB_EXE]
#
# With ZARIN_SCREENSHOT=file.png (and XGRAB_EXE) the idle window of the
# first start, nothing stored yet, is saved there, frame included.
# Exit 77 (skipped) when no X server can be had.
set -euo pipefail

zarin=${1:?usage: placement.sh ZARIN_EXE [XGRAB_EXE]}
xgrab=${2:-}

# The X server, the window manager and the helpers.
# shellcheck source=tests/desktop/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

# The program's own settings and data, never the user's. The sound server is
# still found (its cookie named explicitly) but never started from here.
orig_config=${XDG_CONFIG_HOME:-$HOME/.config}
export XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data"
mkdir -p "$XDG_CONFIG_HOME/pulse" "$XDG_DATA_HOME"
echo "autospawn = no" >"$XDG_CONFIG_HOME/pulse/client.conf"
if [ -z "${PULSE_COOKIE:-}" ] && [ -f "$orig_config/pulse/cookie" ]; then export PULSE_COOKIE="$orig_config/pulse/cookie"; fi
settings="$XDG_CONFIG_HOME/morvane/zarin.conf"

# Outer geometry "x y width height" of a managed window: its client area and
# the frame the window manager reports around it.
outer_geometry() {
  local info extents l r t b
  info=$(xwininfo -id "$1") || return 1
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS) || return 1
  [[ $extents == *=* ]] || return 1
  IFS=', ' read -r l r t b <<<"${extents#*= }"
  awk -v l="$l" -v r="$r" -v t="$t" -v b="$b" '
    /Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
    /^ *Width:/ {w = $2} /^ *Height:/ {h = $2}
    END {print x - l, y - t, w + l + r, h + t + b}' <<<"$info"
}

# Waits until a window's outer geometry has stayed the same for one second.
settled_geometry() {
  local wid=$1 last="" same=0 now end=$((SECONDS + 30))
  while ((SECONDS < end)); do
    now=$(outer_geometry "$wid" 2>/dev/null || true)
    if [ -n "$now" ] && [ "$now" = "$last" ]; then
      same=$((same + 1))
      if ((same >= 10)); then
        echo "$now"
        return 0
      fi
    else
      same=0
    fi
    last=$now
    sleep 0.1
  done
  return 1
}

alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! alive "$1"; }

# The first visible window of the process other than `main`.
other_window() {
  local pid=$1 main=$2 w
  for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    [ "$w" != "$main" ] && { echo "$w"; return 0; }
  done
  return 1
}

# Pixels that are not white in a rectangle of the client area of a window.
client_ink() {
  local wid=$1 x=$2 y=$3 w=$4 h=$5 cx cy
  read -r cx cy < <(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}')
  QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 "$xgrab" --ink $((cx + x)) $((cy + y)) "$w" "$h"
}

# The clear button and the frequency read-out are drawn over the white
# spectrum picture (at 7, 284 px in the client area, 96 dpi): the button at
# its design top (295 px), as far (11 px) from the picture's right edge as
# from its top, 89 x 20 px; the read-out's frame at 14, 291 px, 60 x 18 px.
controls_drawn() {
  local wid=$1 width button frame
  width=$(xwininfo -id "$wid" | awk '/^ *Width:/ {print $2}')
  button=$(client_ink "$wid" $((width - 7 - 11 - 89 + 10)) 298 69 14) || return 1
  # The read-out's frame: its left and right edges, where the picture is white.
  frame=$(($(client_ink "$wid" 14 300 2 8) + $(client_ink "$wid" 72 300 2 8))) || return 1
  # The button's face is grey all over; each edge of the frame is a line.
  ((button > 69 * 14 / 2 && frame >= 2 * 8)) || { echo "button $button frame $frame" >"$tmp/ink"; return 1; }
}

geometries=()
for run in 1 2 3; do
  QT_QPA_PLATFORM=xcb "$zarin" >"$tmp/zarin$run.log" 2>&1 &
  pid=$!
  pids+=("$pid")
  main_window() { xdotool search --onlyvisible --pid "$pid" --name '^zarin$' >/dev/null 2>&1; }
  wait_until 60 main_window || fail "start $run: no window appeared: $(cat "$tmp/zarin$run.log")"
  wid=$(xdotool search --onlyvisible --pid "$pid" --name '^zarin$' | head -n1)
  geometry=$(settled_geometry "$wid") || fail "start $run: the window did not settle"

  if [ "$run" = 1 ]; then
    # Nothing stored: the design client size, 13830 x 7620 twips.
    client=$(xwininfo -id "$wid" | awk '/^ *Width:/ {w = $2} /^ *Height:/ {h = $2} END {print w "x" h}')
    [ "$client" = "922x508" ] || fail "start 1: client area $client, expected the design size 922x508"
    if [ -n "${ZARIN_SCREENSHOT:-}" ] && [ -n "$xgrab" ]; then
      read -r gx gy gw gh <<<"$geometry"
      # A helper: what the X libraries leave behind at its exit is of no interest.
      QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 "$xgrab" "$ZARIN_SCREENSHOT" "$gx" "$gy" "$gw" "$gh" ||
        fail "no screenshot"
      echo "screenshot: $ZARIN_SCREENSHOT"
    fi
    # As a user would: move and resize the window through the window manager.
    xdotool windowmove --sync "$wid" 140 90
    xdotool windowsize --sync "$wid" 1000 560
    geometry=$(settled_geometry "$wid") || fail "start 1: the window did not settle after the move"
  fi
  echo "start $run: outer geometry $geometry"
  if [ -n "$xgrab" ]; then
    wait_until 10 controls_drawn "$wid" ||
      fail "start $run: the clear button or the frequency read-out is not drawn ($(cat "$tmp/ink" 2>/dev/null))"
  fi
  geometries+=("$geometry")

  # Close through the window manager; the program asks before it ends.
  xdotool windowactivate --sync "$wid" key --clearmodifiers alt+F4
  box_shown() { other_window "$pid" "$wid" >/dev/null || gone "$pid"; }
  wait_until 30 box_shown || fail "start $run: Alt+F4 brought no question"
  alive "$pid" || fail "start $run: the program ended without asking"
  box=$(other_window "$pid" "$wid")
  xprop -id "$box" WM_TRANSIENT_FOR | grep -qi "$(printf '0x%x' "$wid")" ||
    fail "start $run: the window that appeared is not the question over the main window"
  # "はい(&Y)": its mnemonic answers yes.
  xdotool windowactivate --sync "$box" key y
  wait_until 60 gone "$pid" || fail "start $run: the program did not end after the answer"
  status=0
  wait "$pid" || status=$?
  [ "$status" = 0 ] || fail "start $run: exit status $status: $(tail -n 40 "$tmp/zarin$run.log")"
  grep -q '^WindowWidth=' "$settings" || fail "start $run: no placement was saved"
done

echo "stored: $(grep '^Window' "$settings" | tr '\n' ' ')"
for run in 2 3; do
  [ "${geometries[run - 1]}" = "${geometries[0]}" ] ||
    fail "start $run came back at ${geometries[run - 1]}, not ${geometries[0]}"
done
echo "PASS: the same outer geometry at every start"
