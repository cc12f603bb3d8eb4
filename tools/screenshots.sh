#!/usr/bin/env bash
# Screenshots of the three pages of drevonix-demo, made on a private X server
# (Xvfb + openbox), for people who don't run the program:
#   docs/screenshots/indicators.png, parameters.png, buttons.png    (Russian, the default)
#   docs/screenshots/en/indicators.png, ...                         (DREVONIX_LANG=en)
# Usage: [DREVONIX_LANG=XX] tools/screenshots.sh [build folder] [seconds of telemetry
#        before the first shot] [folder for the dialogs and the tray menu]
# With a third argument the script also shoots, into that folder, the tray menu, the
# key-code box and the correction message: for looking at, not for the README.
# QT_SCALE_FACTOR=1.25 shows the window as a 125 % desktop does.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
settle=${2:-40}
extra=${3:-}
demo=$build/bin/drevonix-demo
language=${DREVONIX_LANG:-ru}
out=docs/screenshots
[ "$language" = ru ] || out=$out/$language
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
if [ -n "$extra" ]; then
    mkdir -p "$extra"
    trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel \
        --height 32 --SetDockType true --SetPartialStrut true --transparent false \
        >"$work/trayer.log" 2>&1 &
    pids+=($!)
    sleep 1
fi

# A copy in a throw-away folder: its settings file is made beside it, from the defaults,
# and no other running copy counts as a first instance.
cp "$demo" "$work/drevonix-demo"
XDG_CONFIG_HOME=$work LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 DREVONIX_LANG=$language \
    "$work/drevonix-demo" >"$work/demo.log" 2>&1 &
pids+=($!)
demo_pid=$!
if [ -n "$extra" ]; then
    # Started in the tray: its icon brings the window up.
    icon=""
    for _ in $(seq 100); do
        for w in $(xdotool search --onlyvisible --classname drevonix-demo 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$w")"
            [ "$WIDTH" -le 64 ] && icon=$w
        done
        [ -n "$icon" ] && break
        sleep 0.1
    done
    [ -n "$icon" ] || { echo "no tray icon" >&2; exit 1; }
    xdotool mousemove --window "$icon" 11 15 click 3
    sleep 1
    import -window root "$extra/tray-menu.png"
    xdotool key Escape
    sleep 0.5
    xdotool mousemove --window "$icon" 11 15 click 1
fi
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
if [ -n "$extra" ]; then
    # A faulty U1 written: the correction message.
    click_tab 130
    xdotool mousemove --window "$window" 448 37 click --repeat 3 1 type 99
    xdotool mousemove --window "$window" 290 420 click 1
    sleep 1
    import -window root "$extra/correction.png"
    xdotool key Return
    sleep 0.5
    # The key-code box of the info button.
    click_tab 205
    xdotool mousemove --window "$window" 456 364 click 1
    sleep 1
    import -window root "$extra/key-codes.png"
    xdotool key Return
    sleep 0.5
    echo "the tray menu and the dialogs in $extra/"
fi
click_tab 30
kill -0 "$demo_pid" || { echo "the demo died" >&2; exit 1; }
echo "screenshots in $out/"
