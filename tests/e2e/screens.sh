#!/usr/bin/env bash
# Screens of kalorix.exe with the scripted demo sensors: the first-test prompt,
# Overview and Sensors at the default 1180 x 780, the window hidden to the tray
# and restored by a click on the tray icon, and the window dragged down to its
# 980 x 640 minimum. Every screenshot is checked against the palette: window
# present and not blank, the sidebar drawn, text rendered, the selected page
# highlighted, the demo's amber and red levels visible.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" screens screens
rm -f "$out"/*.png

# ---- start -----------------------------------------------------------------

export KALORIX_FAKE_SENSORS=demo
export KALORIX_FAKE_CLOCK=20  # the chart and the demo's hot phase fill in seconds
rm -f "$out/screens.out" "$out/screens.err"
start_app "$out/screens"
cleanup() {
    stop_app
    timeout 20 wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

wait_window 60 || { fail "no Kalorix window within 60 s"; tail -5 "$out/screens.err"; exit 1; }
note "window $win at $(geometry "$win")"
wait_ready "$win" 60 || fail "no sensor snapshot shown within 60 s"
sleep 3  # a few more cycles: chart, minima and maxima, the hot phase

read -r wx wy ww wh <<<"$(geometry "$win")"
[ "$ww $wh" = "1180 780" ] && note "initial size 1180 x 780" || fail "initial size $ww x $wh, expected 1180 x 780"

# The frame and the sidebar in detail on every screen.
check_screen() {  # file width height label
    check_frame "$@"
    check_sidebar "$1" "$4"
}

# ---- first-test prompt (only on a fresh profile) ----------------------------
f=$(shoot "$win" 01-first-test-prompt)
read -r r g b <<<"$(region_rgb "$f" 4 300 8 200)"
if [ "$r" -le 16 ] && [ "$g" -le 19 ]; then  # #12151A under the 0.78 overlay is about 15,17,21
    note "first-test prompt is up (sidebar dimmed to $r,$g,$b)"
    region_is "$f" $((ww / 2 - 60)) $((wh / 2 - 110)) 120 12 171A21 6 "prompt panel"
    [ "$(color_count "$f" 5B8CFF 8)" -gt 300 ] && note "prompt: primary button" || fail "prompt: no primary button"
    xdotool mousemove --sync $((wx + 10)) $((wy + 400)) 2>/dev/null
    xdotool key Escape
    sleep 2
else
    note "no first-test prompt (already answered in this profile)"
    rm -f "$f"
fi

# ---- Overview ----------------------------------------------------------------
xdotool key ctrl+1; sleep 2
f=$(shoot "$win" 02-overview-1180x780)
check_screen "$f" 1180 780 overview
check_selected "$f" 0 overview
check_title "$f" overview 300
a=$(color_count "$f" FFB547 6); [ "${a:-0}" -gt 100 ] && note "overview: amber level ($a px)" || fail "overview: no amber level (${a:-?} px)"
rd=$(color_count "$f" FF5D5D 6); [ "${rd:-0}" -gt 40 ] && note "overview: red level / over-limit banner ($rd px)" || fail "overview: no red level (${rd:-?} px)"
gp=$(color_count "$f" C084FC 8); [ "${gp:-0}" -gt 40 ] && note "overview: GPU series ($gp px)" || fail "overview: no GPU series (${gp:-?} px)"
ac=$(color_count "$f" 5B8CFF 8); [ "${ac:-0}" -gt 40 ] && note "overview: CPU series and accent ($ac px)" || fail "overview: no CPU series (${ac:-?} px)"

# scrolled to the bottom: small cards and the throttling card
wheel $((wx + 700)) $((wy + 500)) 12 5 120
sleep 2
f=$(shoot "$win" 02b-overview-scrolled)
check_screen "$f" 1180 780 "overview scrolled"
# the scroll-bar thumb left the top of its track and reached the bottom
region_is "$f" 1172 50 4 40 0E1014 6 "overview scrolled: track top free" || fail "overview did not scroll"
region_is "$f" 1172 700 4 40 242935 8 "overview scrolled: thumb at the bottom"
xdotool click --repeat 12 --delay 120 4
xdotool mousemove --sync $((wx + 5)) $((wy + 400)) 2>/dev/null

# ---- Sensors -----------------------------------------------------------------
xdotool key ctrl+2; sleep 2
f=$(shoot "$win" 03-sensors-1180x780)
check_screen "$f" 1180 780 sensors
check_selected "$f" 1 sensors
check_title "$f" sensors 300
t=$(bright_permille "$f" 268 300 860 400)
[ "${t:-0}" -gt 20 ] && note "sensors: rows rendered ($t)" || fail "sensors: no sensor rows (${t:-?})"
if cmp -s "$out/02-overview-1180x780.png" "$f"; then fail "sensors screen equals the overview"; fi
# a click on the "Sıcaklık" filter segment: temperature rows with level dots
xdotool mousemove --sync $((wx + 368)) $((wy + 132)) click 1 2>/dev/null
sleep 2
xdotool mousemove --sync $((wx + 5)) $((wy + 400)) 2>/dev/null
sleep 1
f=$(shoot "$win" 03b-sensors-temperature-filter)
check_screen "$f" 1180 780 "sensors filter"
region_is "$f" 336 124 5 16 1D2129 6 "sensors filter: second segment selected"
t=$(bright_permille "$f" 268 200 860 200)
[ "${t:-0}" -gt 10 ] && note "sensors filter: temperature rows ($t)" || fail "sensors filter: no rows (${t:-?})"
xdotool mousemove --sync $((wx + 300)) $((wy + 132)) click 1 2>/dev/null  # back to "Tümü"
sleep 1
# "3" without Ctrl does nothing
xdotool key 3; sleep 1
f2=$(shoot "$win" _plain3)
check_selected "$f2" 1 "plain 3" >/dev/null || fail "a plain 3 changed the page"
rm -f "$f2"

# ---- hide to the tray and restore from the tray icon -------------------------
xdotool key ctrl+1; sleep 1
hide_to_tray
restore_from_tray
if [ $restored -ne 0 ]; then
    win=$w2
    wait_ready "$win" 20 || fail "restored window shows no live data"
    sleep 1
    f=$(shoot "$win" 04-restored-from-tray)
    check_screen "$f" 1180 780 restored
    check_selected "$f" 0 restored
fi

# ---- the 980 x 640 minimum -----------------------------------------------------
read -r wx wy ww wh <<<"$(geometry "$win")"
shrink_to_min direct
f=$(shoot "$win" 05-overview-980x640)
check_screen "$f" "$ww" "$wh" "overview min"
check_selected "$f" 0 "overview min"
xdotool key ctrl+2; sleep 2
f=$(shoot "$win" 06-sensors-980x640)
check_screen "$f" "$ww" "$wh" "sensors min"
check_selected "$f" 1 "sensors min"

e2e_finish "$out/screens.err"
