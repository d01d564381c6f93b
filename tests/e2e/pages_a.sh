#!/usr/bin/env bash
# The Hardware and Settings pages of kalorix-test.exe with the scripted demo
# sensors: Wine's own inventory on the Hardware page, a click on a settings
# control saved to settings.json at once, the Settings page scrolled to its end
# with the report preview opened, and both pages at the 980 x 640 minimum.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" pages_a pages_a
profile_save
answered_profile

export KALORIX_FAKE_SENSORS=demo KALORIX_FAKE_CLOCK=30
start_app app
wait_window 60 || die "no Kalorix window with live data within 60 s"

# ---- Hardware ------------------------------------------------------------------
keys_until ctrl+3 page 2 || fail "Ctrl+3 did not select the Hardware page"
wait_rv hardware 1 40 || fail "hardware: no inventory within 40 s"
check "hardware: copy and refresh buttons" has_region hw/copy
park_pointer; wait_frames 1 5
shoot 10-hardware-1180x780 >/dev/null

# ---- Settings ------------------------------------------------------------------
keys_until ctrl+5 page 4 || fail "Ctrl+5 did not select the Settings page"
park_pointer; wait_frames 1 5
shoot 20-settings-1180x780 >/dev/null
click set/interval/0 || fail "settings: no interval choice"
check "settings: the interval click was saved" wait_file_line "$roam/settings.json" '"UpdateIntervalMs": 500,' 10
wheel_to_end 5 || fail "settings: the wheel did not reach the end"
act set/preview preview 1 || fail "settings: the report preview did not open"
wheel_to_end 5
shoot 21-settings-preview >/dev/null
act set/preview preview 0 || fail "settings: the report preview did not close"
wheel_to_end 4

# ---- the 980 x 640 minimum -------------------------------------------------------
drag_to_min || fail "minimum size: the report shows $(rv width) x $(rv height), expected 980 x 640"
park_pointer; wait_frames 1 5
shoot 30-settings-980x640 >/dev/null
wheel_to_end 5; shoot 31-settings-980x640-scrolled >/dev/null
keys_until ctrl+3 page 2; park_pointer; wait_frames 1 5
shoot 32-hardware-980x640 >/dev/null
wheel_to_end 5; shoot 33-hardware-980x640-scrolled >/dev/null
check "no action id registered twice" [ "$(rv duplicates)" = 0 ]

e2e_finish
