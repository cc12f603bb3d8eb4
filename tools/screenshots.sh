#!/usr/bin/env bash
# Screenshots of the three pages of drevonix-demo, made on a private X server
# (Xvfb + openbox), for people who don't run the program:
#   docs/screenshots/indicators.png, parameters.png, buttons.png
# Usage: tools/screenshots.sh [build folder] [seconds of telemetry before the first shot]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
settle=${2:-40}
demo=$build/bin/drevonix-demo
out=docs/screenshots
[ -x "$demo" ] || { echo "no $demo: build it first" >&2; exit 1; }
mkdir -p "$out"

display=""
for n in $(seq 90 199); do
    if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
export DISPLAY=:$display
work=$(mktemp -d)

pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; exit 1; }
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# A copy in a throw-away folder: its settings file is made beside it, from the defaults,
# and no other running copy counts as a first instance.
cp "$demo" "$work/drevonix-demo"
XDG_CONFIG_HOME=$work LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 "$work/drevonix-demo" >"$work/demo.log" 2>&1 &
pids+=($!)
window=""
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Drevonix v2\.2$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the demo's window did not appear" >&2; cat "$work/demo.log" >&2; exit 1; }
xdotool windowmove --sync "$window" 40 40 || true
sleep "$settle"

# The window with its frame, cut out of the whole screen.
shoot() {
    # xwininfo, not xdotool: the latter misplaces windows that a window manager reparented.
    local info X Y WIDTH HEIGHT extents left=0 right=0 top=0 bottom=0
    # In front of the demo's other windows, which the cut would otherwise take in.
    xdotool windowraise "$window"
    sleep 0.3
    info=$(xwininfo -id "$window")
    X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
    WIDTH=$(sed -n 's/.*Width: *//p' <<<"$info")
    HEIGHT=$(sed -n 's/.*Height: *//p' <<<"$info")
    extents=$(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ' ')
    [ -n "$extents" ] && IFS=, read -r left right top bottom <<<"$extents"
    import -window root -crop "$((WIDTH + left + right))x$((HEIGHT + top + bottom))+$((X - left))+$((Y - top))" \
        +repage "$1"
}

# Tabs are clicked at points inside them whatever the stand-in font makes of their widths,
# measured from the left edge of the client area.
click_tab() {
    xdotool mousemove --window "$window" "$1" 12 click 1
    xdotool mousemove --window "$window" 300 200
    sleep 1
}

shoot "$out/indicators.png"
# The charts have to be moving: the same page a few seconds later must differ.
sleep 3
shoot "$work/later.png"
changed=$(compare -metric AE "$out/indicators.png" "$work/later.png" null: 2>&1 || true)
[ "${changed%% *}" != 0 ] || { echo "the charts did not move" >&2; exit 1; }
click_tab 130
shoot "$out/parameters.png"
click_tab 205
shoot "$out/buttons.png"
click_tab 30
kill -0 "${pids[2]}" || { echo "the demo died" >&2; exit 1; }
echo "screenshots in $out/"
