#!/usr/bin/env bash
# Screens of the Hardware and Settings pages of kalorix.exe with the scripted
# demo sensors: both pages at the default 1180 x 780 and at the 980 x 640
# minimum, the Settings page scrolled to its end, a click on a settings control
# saved to settings.json. Under Wine the Hardware page shows Wine's own
# inventory. Every screenshot is checked against the palette.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" pages_a pages_a
rm -f "$out"/*.png

# ---- page checks -------------------------------------------------------------

check_chrome() {  # file width height label [scrolled]
    check_frame "$1" "$2" "$3" "$4"
    [ -n "${5:-}" ] && return 0  # scrolled: the title is out of view
    check_title "$1" "$4"
}
# Two columns of cards on the Hardware page: panel colour in both, the
# window background in the gap between them.
check_hardware() {  # file width label
    local f="$1" w="$2" l="$3" inner col gapx rightx
    inner=$((w - 232 - 72)); col=$(((inner - 12) / 2))
    gapx=$((268 + col + 3)); rightx=$((268 + col + 12 + 30))
    region_is "$f" 300 176 60 4 171A21 4 "$l: left column card"
    region_is "$f" "$rightx" 176 60 4 171A21 4 "$l: right column card"
    region_is "$f" "$gapx" 130 6 60 0E1014 4 "$l: gap between the columns"
    region_is "$f" $((w - 30)) 130 20 200 0E1014 4 "$l: right margin free"
    [ "$(color_count "$f" 5B8CFF 30 268 114 $((inner)) 300)" -gt 30 ] && note "$l: section badges" || fail "$l: no accent badges"
    local t; t=$(bright_permille "$f" 268 170 "$inner" 300)
    [ "${t:-0}" -gt 15 ] && note "$l: rows rendered ($t)" || fail "$l: no row text (${t:-?})"
    # the two header buttons at the right of the title
    region_is "$f" $((w - 36 - 60)) 46 20 6 171A21 6 "$l: Kopyala button"
}

# ---- start -----------------------------------------------------------------

export KALORIX_FAKE_SENSORS=demo
export KALORIX_FAKE_CLOCK=30
# A fresh profile would show the first-test prompt over everything: answer it
# in the file. The profile is put back afterwards.
profile_save
settings_unix="$roam/settings.json"
printf '{\n  "FirstTestOffered": true\n}\n' > "$settings_unix"
note "settings file $settings_unix"

rm -f "$out/pages_a.out" "$out/pages_a.err"
start_app "$out/pages_a"
cleanup() {
    stop_app
    timeout 20 wineserver -k >/dev/null 2>&1 || true
    profile_restore
}
trap cleanup EXIT

wait_window 60 || { fail "no Kalorix window within 60 s"; tail -5 "$out/pages_a.err"; exit 1; }
wait_ready "$win" 60 || fail "no sensor snapshot within 60 s"
read -r wx wy ww wh <<<"$(geometry "$win")"
note "window $win at $wx,$wy ${ww}x$wh"
xdotool mousemove --sync $((wx + 5)) $((wy + 400)) 2>/dev/null
xdotool key Escape  # in case the prompt is up after all

# ---- Hardware, 1180 x 780 -----------------------------------------------------
xdotool key ctrl+3
f=$(wait_cards "$win" 40 10-hardware-1180x780) || fail "hardware: no report cards within 40 s"
check_chrome "$f" 1180 780 hardware
check_selected "$f" 2 hardware
check_hardware "$f" 1180 hardware

# ---- Settings, 1180 x 780 and scrolled ------------------------------------------
xdotool key ctrl+5; sleep 2
f=$(shoot "$win" 20-settings-1180x780)
check_chrome "$f" 1180 780 settings
check_selected "$f" 4 settings
region_is "$f" 300 130 400 6 171A21 4 "settings: first card"
[ "$(color_count "$f" 5B8CFF 12 800 100 380 680)" -gt 200 ] && note "settings: toggles and slider in accent" || fail "settings: no accent controls"
[ "$(color_count "$f" FF5D5D 12 900 100 280 680)" -gt 20 ] && note "settings: red warning value" || fail "settings: no red warning value"
[ "$(color_count "$f" 0E1014 2 900 130 260 200)" -gt 2000 ] && note "settings: segmented tracks" || fail "settings: no segmented controls"

# A click on the first interval segment ("0,5 sn"): saved to the file at once.
# The segmented control is right-aligned 20 DIPs inside the card; find it by
# its dark track on the first row.
row=$(convert "$f" -crop "480x1+680+152" +repage txt:- 2>/dev/null | grep -c '#0E1014')
if [ -n "$settings_unix" ]; then
    # the leftmost dark pixel of the track on that row
    lx=$(convert "$f" -crop "480x1+680+152" +repage txt:- 2>/dev/null | grep '#0E1014' | head -1 | cut -d, -f1)
    if [ -n "$lx" ]; then
        xdotool mousemove --sync $((wx + 680 + lx + 20)) $((wy + 152)) click 1 2>/dev/null
        sleep 2
        xdotool mousemove --sync $((wx + 5)) $((wy + 400)) 2>/dev/null
        grep -q '"UpdateIntervalMs": 500,' "$settings_unix" && note "settings: interval click saved" \
            || fail "settings: the interval click was not saved ($(grep UpdateInterval "$settings_unix"))"
        f=$(shoot "$win" 21-settings-interval-clicked)
    else
        fail "settings: no segmented track found on the first row ($row dark pixels)"
    fi
fi

wheel $((wx + 700)) $((wy + 500)) 30 5 80
sleep 2
f=$(shoot "$win" 22-settings-scrolled)
check_chrome "$f" 1180 780 "settings scrolled" scrolled
region_is "$f" 1172 50 4 40 0E1014 6 "settings scrolled: track top free" || fail "settings did not scroll"
region_is "$f" 1172 700 4 40 242935 8 "settings scrolled: thumb at the bottom"
t=$(bright_permille "$f" 268 600 860 160)
[ "${t:-0}" -gt 5 ] && note "settings scrolled: sharing card and about text ($t)" || fail "settings scrolled: nothing at the end (${t:-?})"
# The preview: the first button of the sharing card. Going up the column at
# x 300 from the bottom, the first border line is the card's foot, the next
# one the foot of the button row.
ys=$(convert "$f" -crop "1x400+300+360" +repage txt:- 2>/dev/null | grep -i '#242935' | cut -d, -f2 | cut -d: -f1)
foot=$(echo "$ys" | tail -1)
btn=""
for y in $(echo "$ys" | sort -rn); do
    if [ "$y" -lt $((foot - 4)) ]; then btn=$y; break; fi
done
if [ -n "$btn" ]; then
    xdotool mousemove --sync $((wx + 320)) $((wy + 360 + btn - 15)) click 1 2>/dev/null
    sleep 2
    xdotool mousemove --sync $((wx + 700)) $((wy + 500)) 2>/dev/null
    xdotool click --repeat 40 --delay 80 5
    sleep 2
    xdotool mousemove --sync $((wx + 5)) $((wy + 400)) 2>/dev/null
    sleep 1
    f=$(shoot "$win" 23-settings-preview)
    check_chrome "$f" 1180 780 "settings preview" scrolled
    # the report panel: window background inside the card, with monospace text on it
    [ "$(color_count "$f" 0E1014 2 300 60 800 600)" -gt 40000 ] && note "settings preview: report panel" \
        || fail "settings preview: no report panel"
    t=$(bright_permille "$f" 300 60 800 600)
    [ "${t:-0}" -gt 5 ] && note "settings preview: report text ($t)" || fail "settings preview: no report text"
    xdotool mousemove --sync $((wx + 700)) $((wy + 500)) 2>/dev/null
    xdotool click --repeat 12 --delay 80 4
    sleep 2
    xdotool mousemove --sync $((wx + 5)) $((wy + 400)) 2>/dev/null
    sleep 1
    f=$(shoot "$win" 24-settings-preview-top)
else
    fail "settings: preview button not found"
fi
wheel $((wx + 700)) $((wy + 500)) 80 4 40
xdotool mousemove --sync $((wx + 5)) $((wy + 400)) 2>/dev/null

# ---- the 980 x 640 minimum ---------------------------------------------------------
# Dragged by its bottom-right resize border far past the minimum.
shrink_to_min
f=$(shoot "$win" 30-settings-980x640)
check_chrome "$f" "$ww" "$wh" "settings min"
check_selected "$f" 4 "settings min"
region_is "$f" $((ww - 30)) 130 20 300 0E1014 4 "settings min: right margin free"
f=$(scroll_shot 600 400 8 31-settings-980x640-scrolled)
check_chrome "$f" "$ww" "$wh" "settings min scrolled" scrolled
xdotool key ctrl+3; sleep 2
f=$(shoot "$win" 32-hardware-980x640)
check_chrome "$f" "$ww" "$wh" "hardware min"
check_selected "$f" 2 "hardware min"
check_hardware "$f" "$ww" "hardware min"
f=$(scroll_shot 600 400 20 33-hardware-980x640-scrolled)
check_chrome "$f" "$ww" "$wh" "hardware min scrolled" scrolled

e2e_finish "$out/pages_a.err"
