#!/usr/bin/env bash
# Screens of the Hardware and Settings pages of kalorix.exe with the scripted
# demo sensors: both pages at the default 1180 x 780 and at the 980 x 640
# minimum, the Settings page scrolled to its end, a click on a settings control
# saved to settings.json. Under Wine the Hardware page shows Wine's own
# inventory. Every screenshot is checked against the palette.
set -u
exe="$1"; build="$2"
out="${KALORIX_ARTIFACTS:-$build/artifacts}/pages_a"
mkdir -p "$out"
rm -f "$out"/*.png
here="$(cd "$(dirname "$0")" && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "  $*"; }

# ---- image helpers -----------------------------------------------------------

region_rgb() {  # file x y w h -> "r g b"
    convert "$1" -crop "${4}x${5}+${2}+${3}" +repage \
        -format "%[fx:round(mean.r*255)] %[fx:round(mean.g*255)] %[fx:round(mean.b*255)]" info: 2>/dev/null
}
region_is() {  # file x y w h RRGGBB tol label
    local rgb r g b er eg eb
    rgb=$(region_rgb "$1" "$2" "$3" "$4" "$5") || { fail "$8: cannot read region"; return 1; }
    read -r r g b <<<"$rgb"
    er=$((16#${6:0:2})); eg=$((16#${6:2:2})); eb=$((16#${6:4:2}))
    if [ $(( (r-er)*(r-er) > $7*$7 || (g-eg)*(g-eg) > $7*$7 || (b-eb)*(b-eb) > $7*$7 )) -eq 1 ]; then
        fail "$8: mean colour $r,$g,$b is not #$6"
        return 1
    fi
    note "$8: ok ($r,$g,$b ~ #$6)"
}
color_count() {  # file RRGGBB fuzz% [x y w h]
    local src="$1"
    if [ $# -ge 7 ]; then
        convert "$1" -crop "${6}x${7}+${4}+${5}" +repage -alpha off -fuzz "$3%" -fill white -opaque "#$2" \
            -fill black +opaque white -format "%[fx:round(mean*w*h)]" info: 2>/dev/null
    else
        convert "$src" -alpha off -fuzz "$3%" -fill white -opaque "#$2" -fill black +opaque white \
            -format "%[fx:round(mean*w*h)]" info: 2>/dev/null
    fi
}
bright_permille() {  # file x y w h
    convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -colorspace Gray -threshold 45% \
        -format "%[fx:round(mean*1000)]" info: 2>/dev/null
}
spread_permille() {
    convert "$1" -colorspace Gray -format "%[fx:round(standard_deviation*1000)]" info: 2>/dev/null
}

main_window() {
    local id best="" bestArea=0 w h
    for id in $(xdotool search --onlyvisible --name '^Kalorix$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || continue
        w=${WIDTH:-0}; h=${HEIGHT:-0}
        if [ $((w * h)) -gt $bestArea ]; then best=$id; bestArea=$((w * h)); fi
    done
    [ -n "$best" ] && echo "$best"
}
geometry() {
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
    echo "$X $Y $WIDTH $HEIGHT"
}
shoot() {  # id name -> file
    local f="$out/$2.png"
    import -window "$1" "$f" 2>/dev/null || import -window root "$f"
    echo "$f"
}
wait_ready() {  # id seconds: the status dot turned green
    local i f hh
    for i in $(seq 1 "$2"); do
        f=$(shoot "$1" _probe)
        hh=$(identify -format %h "$f" 2>/dev/null || echo 0)
        if [ "$hh" -gt 100 ] && [ "$(color_count "$f" 3DD68C 6)" -gt 10 ]; then rm -f "$f"; return 0; fi
        sleep 1
    done
    rm -f "$f"
    return 1
}
# Until the page shows its cards: a panel-coloured block at the content's top left.
wait_cards() {  # id seconds name -> file
    local i f
    for i in $(seq 1 "$2"); do
        f=$(shoot "$1" "$3")
        if [ "$(color_count "$f" 171A21 2 270 130 200 40)" -gt 4000 ]; then echo "$f"; return 0; fi
        sleep 1
    done
    echo "$f"
    return 1
}
check_chrome() {  # file width height label [scrolled]
    local f="$1" w="$2" h="$3" l="$4" size s t
    size=$(identify -format "%w %h" "$f" 2>/dev/null)
    [ "$size" = "$w $h" ] && note "$l: size $size" || fail "$l: size is '$size', expected $w x $h"
    s=$(spread_permille "$f")
    [ "${s:-0}" -gt 40 ] && note "$l: not blank (spread $s)" || fail "$l: looks blank (spread ${s:-?})"
    region_is "$f" 4 300 8 200 12151A 6 "$l sidebar"
    region_is "$f" 300 2 200 6 0E1014 6 "$l title band"
    [ -n "${5:-}" ] && return 0  # scrolled: the title is out of view
    t=$(bright_permille "$f" 268 40 200 40)
    [ "${t:-0}" -gt 30 ] && note "$l: page title rendered ($t)" || fail "$l: no page title (${t:-?})"
}
check_selected() {  # file page label
    local i top
    for i in 0 1 2 3 4; do
        top=$((116 + 44 * i + 12))
        if [ "$i" -eq "$2" ]; then region_is "$1" 190 $top 20 16 1D2129 5 "$3 entry $i selected" >/dev/null || fail "$3: entry $i not selected"
        else region_is "$1" 190 $top 20 16 12151A 5 "$3 entry $i plain" >/dev/null || fail "$3: entry $i selected"; fi
    done
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
# A fresh profile would show the first-test prompt over everything: answer it in the file.
roaming=$(KALORIX_WINE_TIMEOUT=30 "$here/../../scripts/wine-run" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
settings_unix=""
if [ -n "$roaming" ]; then
    settings_unix=$(winepath -u "$roaming\\Kalorix\\settings.json" 2>/dev/null)
    mkdir -p "$(dirname "$settings_unix")"
    printf '{\n  "FirstTestOffered": true\n}\n' > "$settings_unix"
    note "settings file $settings_unix"
fi

KALORIX_WINE_TIMEOUT=240 "$here/../../scripts/wine-run" "$exe" > "$out/pages_a.out" 2> "$out/pages_a.err" &
app=$!
cleanup() {
    kill "$app" 2>/dev/null
    sleep 1
    kill -0 "$app" 2>/dev/null && kill -9 "$app" 2>/dev/null
    timeout 20 wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

win=""
for i in $(seq 1 60); do
    win=$(main_window) && break
    kill -0 "$app" 2>/dev/null || break
    sleep 1
done
[ -n "$win" ] || { fail "no Kalorix window within 60 s"; tail -5 "$out/pages_a.err"; exit 1; }
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

xdotool mousemove --sync $((wx + 700)) $((wy + 500)) 2>/dev/null
xdotool click --repeat 30 --delay 80 5
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
xdotool mousemove --sync $((wx + 700)) $((wy + 500)) 2>/dev/null
xdotool click --repeat 80 --delay 40 4
xdotool mousemove --sync $((wx + 5)) $((wy + 400)) 2>/dev/null

# ---- the 980 x 640 minimum ---------------------------------------------------------
# Dragged by its bottom-right resize border far past the minimum.
xdotool mousemove --sync $((wx + ww - 2)) $((wy + wh - 2)) mousedown 1 2>/dev/null
sleep 0.5
xdotool mousemove --sync $((wx + 500)) $((wy + 300)) 2>/dev/null
sleep 0.5
xdotool mousemove --sync $((wx + 400)) $((wy + 250)) 2>/dev/null
sleep 0.5
xdotool mouseup 1 2>/dev/null
sleep 2
read -r wx wy ww wh <<<"$(geometry "$win")"
[ "$ww $wh" = "980 640" ] && note "minimum size 980 x 640 holds" || fail "minimum size: got $ww x $wh"
xdotool mousemove --sync $((wx + 5)) $((wy + 300)) 2>/dev/null
sleep 1
f=$(shoot "$win" 30-settings-980x640)
check_chrome "$f" "$ww" "$wh" "settings min"
check_selected "$f" 4 "settings min"
region_is "$f" $((ww - 30)) 130 20 300 0E1014 4 "settings min: right margin free"
xdotool mousemove --sync $((wx + 600)) $((wy + 400)) 2>/dev/null
xdotool click --repeat 8 --delay 80 5
sleep 2
xdotool mousemove --sync $((wx + 5)) $((wy + 300)) 2>/dev/null
sleep 1
f=$(shoot "$win" 31-settings-980x640-scrolled)
check_chrome "$f" "$ww" "$wh" "settings min scrolled" scrolled
xdotool key ctrl+3; sleep 2
f=$(shoot "$win" 32-hardware-980x640)
check_chrome "$f" "$ww" "$wh" "hardware min"
check_selected "$f" 2 "hardware min"
check_hardware "$f" "$ww" "hardware min"
xdotool mousemove --sync $((wx + 600)) $((wy + 400)) 2>/dev/null
xdotool click --repeat 20 --delay 80 5
sleep 2
xdotool mousemove --sync $((wx + 5)) $((wy + 300)) 2>/dev/null
sleep 1
f=$(shoot "$win" 33-hardware-980x640-scrolled)
check_chrome "$f" "$ww" "$wh" "hardware min scrolled" scrolled

if grep -q "Unimplemented function" "$out/pages_a.err"; then fail "an unimplemented Wine function was called"; fi
echo "screens in $out"
[ $failures -eq 0 ] && echo "pages_a ok" || { echo "$failures check(s) failed"; exit 1; }
