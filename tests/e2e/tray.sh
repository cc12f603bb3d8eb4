#!/usr/bin/env bash
# The program in the tray: at start only its icon shows; left clicks on the icon show and
# hide the window; a right click opens the menu, whose items show and hide the window and
# end the program, which then has written its settings. In English, by DREVONIX_LANG.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"

[ -x "${DREVONIX_DEMO_EXE:-}" ] || skip "drevonix-demo is not built"
desktop_start
export DREVONIX_LANG=en
exe=$(private_copy "$DREVONIX_DEMO_EXE")
class=$(basename "$exe")
ini="$(dirname "$exe")/Control.ini"

spawn demo "$exe"
DEMO=$SPAWNED

# The icon and the main window as the lib finds them; the popup menu is the
# override-redirect window tall enough for three items. Other windows (tooltips, the
# demo's simulator) are left out.
ICON= MAIN= MENU=
classify() {
    ICON=$(icon_window "$class") MAIN=$(main_window "$class") MENU=
    local w g
    for w in $(visible_windows "$class"); do
        [ "$w" = "$ICON" ] && continue
        g=($(window_geometry "$w")) || continue
        [ "${g[3]}" -ge 50 ] && override_redirect "$w" && MENU=$w
    done
}
icon_shown() { classify; [ -n "$ICON" ]; }
main_shown() { classify; [ -n "$MAIN" ]; }
main_hidden() { classify; [ -z "$MAIN" ]; }
menu_shown() { classify; [ -n "$MENU" ]; }
menu_gone() { classify; [ -z "$MENU" ]; }

wait_for "the tray icon" 20 icon_shown
sleep 1
classify
[ -z "$MAIN" ] || fail "the main window is shown at start"
[ -z "$MENU" ] || fail "the menu is open at start"
[ "$(visible_windows "$class" | wc -l)" -eq 1 ] || fail "more than the icon is shown at start"
icon=$ICON
read -r ix iy iw ih < <(window_geometry "$icon")
e2e_log "tray icon $icon at $ix,$iy size ${iw}x$ih"
colours=$(window_colours "$icon")
[ "${colours:-0}" -ge 3 ] || fail "the tray icon is blank (${colours:-no} colours): Qt's SVG plugin is missing"
shot start

click_icon() {
    xdotool mousemove --window "$icon" $((iw / 2)) $((ih / 2)) click "$1"
    sleep 0.5
}

# Left clicks toggle the window.
click_icon 1
wait_for "the window after a left click" 5 main_shown
shot shown-by-click
click_icon 1
wait_for "the window to hide after a second left click" 5 main_hidden

# A double click toggles once: the window comes up and stays up.
xdotool mousemove --window "$icon" $((iw / 2)) $((ih / 2)) click --repeat 2 --delay 80 1
wait_for "the window after a double click" 5 main_shown
sleep 1
main_shown || fail "a double click toggled the window twice"
click_icon 1
wait_for "the window to hide again" 5 main_hidden

# A right click opens the menu at the cursor, also while the window is hidden.
open_menu() {
    click_icon 3
    wait_for "the popup menu" 5 menu_shown
    read -r mx my mw mh < <(window_geometry "$MENU")
    e2e_log "menu $MENU at $mx,$my size ${mw}x$mh, main window ${MAIN:-hidden}"
    # At the top edge of the screen the menu opens right below the cursor; it may be moved
    # left to stay on the screen.
    local cy=$((iy + ih / 2))
    [ "$my" -ge $((cy - 2)) ] && [ "$my" -le $((cy + 30)) ] || fail "menu top $my is not at the cursor ($cy)"
}
# Menu rows from the top: "Развернуть", "Свернуть", the separator, "Выход".
choose() {
    local row=$1 h=$((mh - 8)) y
    # Four rows of which the separator is about a third of an item: items are h/3.33 high.
    case $row in
        1) y=$((4 + h * 3 / 20)) ;;
        2) y=$((4 + h * 9 / 20)) ;;
        4) y=$((4 + h * 17 / 20)) ;;
    esac
    xdotool mousemove --window "$MENU" $((mw / 2)) "$y"
    sleep 0.3
    xdotool click 1
    sleep 0.5
}

open_menu
shot menu
choose 1
wait_for "the menu to close" 5 menu_gone
wait_for "the window after Развернуть" 5 main_shown
shot restored

open_menu
choose 1
wait_for "the menu to close" 5 menu_gone
main_shown || fail "Развернуть hid a shown window"

open_menu
choose 2
wait_for "the window to hide after Свернуть" 5 main_hidden
open_menu
choose 2
wait_for "the menu to close" 5 menu_gone
main_hidden || fail "Свернуть showed a hidden window"
alive "$DEMO" || fail "the program ended on Свернуть"
[ ! -e "$ini" ] || fail "showing and hiding wrote the settings"

# Clicking elsewhere closes the menu without doing anything.
open_menu
xdotool mousemove 300 500 click 1
wait_for "the menu to close" 5 menu_gone
main_hidden || fail "dismissing the menu showed the window"

open_menu
choose 4
wait_for "the program to end after Выход" 10 gone "$DEMO"
wait "$DEMO"
rc=$?
[ "$rc" -eq 0 ] || fail "the program ended with status $rc"
[ -f "$ini" ] || fail "no Control.ini after Выход"
[ "$(ini_sections "$ini")" -eq 14 ] || fail "Control.ini has $(ini_sections "$ini") sections"
[ "$(ini_values "$ini")" -eq 89 ] || fail "Control.ini has $(ini_values "$ini") values"
e2e_log "PASS"
