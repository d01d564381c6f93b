#!/usr/bin/env bash
# The Overview and Sensors pages of kalorix-test.exe with the scripted demo
# sensors: at the default 1180 x 780, scrolled to the end, the Sensors filter
# chosen by a click and a plain "3" ignored, then both pages at the 980 x 640
# minimum reached by dragging the window's border.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" screens screens
profile_save
answered_profile

export KALORIX_FAKE_SENSORS=demo KALORIX_FAKE_CLOCK=20  # the chart and the demo's hot phase fill in seconds
start_app app
wait_window 60 || die "no Kalorix window with live data within 60 s"
check "initial size 1180 x 780" [ "$(rv width) $(rv height)" = "1180 780" ]
wait_frames 3 10  # a few more cycles: chart, minima and maxima, the hot phase

# ---- Overview ------------------------------------------------------------------
keys_until ctrl+1 page 0 || fail "Ctrl+1 did not select the Overview"
park_pointer; wait_frames 1 5
f=$(shoot 01-overview-1180x780)
check "overview: drawn" not_blank "$f"
check "overview: amber and red levels of the hot demo machine" \
    [ "$(color_count "$f" FFB547 6)" -gt 100 -a "$(color_count "$f" FF5D5D 6)" -gt 40 ]
check "overview: the sharing notice offers its answers" has_region tel/ok
wheel_to_end 5 || fail "overview: the wheel did not reach the end"
check "overview: scrolled to its end" [ "$(rv scroll)" -gt 0 ]
shoot 02-overview-scrolled >/dev/null
wheel_to_end 4 || fail "overview: the wheel did not come back to the top"

# ---- Sensors -------------------------------------------------------------------
keys_until ctrl+2 page 1 || fail "Ctrl+2 did not select the Sensors page"
park_pointer; wait_frames 1 5
shoot 03-sensors-1180x780 >/dev/null
check "sensors: one row region per demo sensor" [ "$(grep -c ' row/' "$frame")" -ge 8 ]
act sensors/filter/1 filter 1 || fail "sensors: the temperature filter was not chosen"
park_pointer; wait_frames 1 5
shoot 04-sensors-temperature-filter >/dev/null
check "sensors: the temperature filter keeps fewer rows" [ "$(grep -c ' row/' "$frame")" -lt 8 ]
act sensors/filter/0 filter 0 || fail "sensors: back to all sensors"
xdotool key 3; wait_frames 2 10
check "a plain 3 keeps the Sensors page" [ "$(rv page)" = 1 ]

# ---- the 980 x 640 minimum -------------------------------------------------------
drag_to_min || fail "minimum size: the report shows $(rv width) x $(rv height), expected 980 x 640"
keys_until ctrl+1 page 0; park_pointer; wait_frames 1 5
shoot 05-overview-980x640 >/dev/null
keys_until ctrl+2 page 1; park_pointer; wait_frames 1 5
shoot 06-sensors-980x640 >/dev/null
check "no action id registered twice" [ "$(rv duplicates)" = 0 ]

e2e_finish
