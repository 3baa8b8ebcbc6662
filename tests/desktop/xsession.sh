# shellcheck shell=bash
# An X server (Xvfb) and a window manager (openbox) of the desktop tests'
# own, sourced by them: it sets DISPLAY, a folder $tmp and a list $pids that
# are removed and ended when the script exits, and the helpers skip, fail and
# wait_until. Exits 77 (skipped) when no X server can be had.

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

command -v Xvfb >/dev/null || skip "no X server: Xvfb is not installed (scripts/install-deps installs it)"
for tool in openbox xdotool xwininfo xprop; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps installs it)"
done

tmp=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT

# Runs a test command every 0.1 s until it succeeds or `seconds` have passed.
wait_until() {
  local seconds=$1 end
  shift
  end=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

# A private X server on a free display, 96 dpi (15 twips per pixel); it must
# not reset when its last client leaves, as between a script's checks.
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -nolisten tcp -noreset >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
has_display() { grep -qx '[0-9][0-9]*' "$tmp/display" 2>/dev/null; }
wait_until 20 has_display || skip "no X server: Xvfb did not start ($(head -c 300 "$tmp/xvfb.log"))"
export DISPLAY=":$(head -n1 "$tmp/display")"
answers() { xprop -root >/dev/null 2>&1; }
wait_until 20 answers || skip "no X server: Xvfb on $DISPLAY does not answer ($(head -c 300 "$tmp/xvfb.log"))"

# The first synthetic key switches the server's core keyboard to the XTEST
# device's key map, and the window manager reloads its key bindings when told
# of that; a key that arrives meanwhile passes the window manager by. One
# harmless key before the window manager runs gets that over with.
xdotool key shift

openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
pids+=($!)
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 20 wm_ready || fail "openbox did not start: $(cat "$tmp/openbox.log")"
