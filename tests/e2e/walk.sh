#!/usr/bin/env bash
# The walk a user makes through kalorix-test.exe on a fresh profile with the
# scripted "idle" machine: the first-test prompt dismissed with Escape, the five
# pages by Ctrl+1..5 and by the sidebar, the window hidden to the tray by its
# close button and brought back, a second start that only shows the window, and
# the window's place and page kept for the next start.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" walk walk
profile_save  # a fresh profile: the prompt comes up

export KALORIX_FAKE_SENSORS=idle KALORIX_FAKE_CLOCK=20
start_app app
wait_window 60 || die "no Kalorix window with live data within 60 s"

# ---- the first-test prompt -----------------------------------------------------
check "first-test prompt is up on a fresh profile" wait_rv prompt 1 10
check "the prompt offers its two answers" has_region prompt/yes
shoot 00-first-test-prompt >/dev/null
park_pointer
keys_until Escape prompt 0 || fail "Escape did not dismiss the prompt"
check "the answer is saved" wait_file_line "$roam/settings.json" '"FirstTestOffered": true' 10

# ---- the five pages, by keyboard and by the sidebar --------------------------------
names=(overview sensors hardware tests settings)
for i in 0 1 2 3 4; do
    keys_until "ctrl+$((i + 1))" page $i || fail "${names[$i]}: Ctrl+$((i + 1)) did not select the page"
    [ $i -eq 2 ] && { wait_rv hardware 1 30 || fail "hardware: no inventory within 30 s"; }
    park_pointer; wait_frames 1 5
    shoot "0$((i + 1))-${names[$i]}" >/dev/null
done
act nav/sensors page 1 || fail "a click on the sidebar did not select the Sensors page"

# ---- the tray ------------------------------------------------------------------------
win_xywh
xdotool mousemove --sync $((WX + WW - 23)) $((WY + 18)) click 1  # the close button (caption area)
for i in $(seq 1 50); do window_hidden && break; sleep 0.2; done
check "the close button hid the window to the tray" window_hidden
check "the process keeps running in the tray" kill -0 "$app"
# A second start only asks the running monitor to show itself, then ends.
KALORIX_WINE_TIMEOUT=30 "$run" "$exe" >/dev/null 2>&1 || fail "the second start did not end cleanly"
check "the second start brought the window back" wait_window 15
check "the restored window shows the page it had" [ "$(rv page)" = 1 ]
park_pointer; wait_frames 1 5
shoot 06-restored >/dev/null
check "no action id registered twice" [ "$(rv duplicates)" = 0 ]

# ---- the place is kept ------------------------------------------------------------------
xdotool windowmove "$win" 140 70
for i in $(seq 1 25); do win_xywh; [ "$WX $WY" = "140 70" ] && break; sleep 0.2; done
win_xywh
xdotool mousemove --sync $((WX + WW - 23)) $((WY + 18)) click 1  # hidden to the tray: the place is saved
check "the place is saved when the window goes to the tray" \
    wait_file_line "$roam/settings.json" '"WindowX": 140,' 10
stop_app
start_app again
wait_window 60 || die "no window after the second start"
win_xywh
check "the next start opens where the window was ($WX,$WY)" [ "$WX $WY" = "140 70" ]
check "... on the page it showed" [ "$(rv page)" = 1 ]

e2e_finish
