# Shared machinery of the end-to-end scripts in tests/e2e (sourced, not run).
#   e2e_init EXE BUILD NAME [SUBDIR]   exe, build, here, run, out; fail/note/die
# then: image checks, window lookup and screenshots, starting and stopping
# kalorix.exe, the profile put back afterwards, the resize drag.
# Every wait here is bounded.

e2e_lib="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
e2e_init() {  # exe build NAME [SUBDIR of the artifacts folder]
    exe="$1"; build="$2"; shift 2
    here="$(cd "$(dirname "${BASH_SOURCE[1]}")" && pwd)"
    run="$here/../../scripts/wine-run"
    out="${KALORIX_ARTIFACTS:-$build/artifacts}${2:+/$2}"
    mkdir -p "$out"
    e2e_name="$1"
    failures=0
    app=""
}
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "  $*"; }
die() { echo "FAIL: $*"; exit 1; }
# The closing line: NAME ok, or the number of failed checks and exit 1.
e2e_finish() {  # err-log
    if grep -q "Unimplemented function" "$1" 2>/dev/null; then fail "an unimplemented Wine function was called"; fi
    echo "screens in $out"
    [ "$failures" -eq 0 ] && echo "$e2e_name ok" || { echo "$failures check(s) failed"; exit 1; }
}

# ---- image checks ------------------------------------------------------------

region_rgb() {  # file x y w h -> "r g b" (0-255), the region's mean colour
    convert "$1" -crop "${4}x${5}+${2}+${3}" +repage \
        -format "%[fx:round(mean.r*255)] %[fx:round(mean.g*255)] %[fx:round(mean.b*255)]" info: 2>/dev/null
}
region_is() {  # file x y w h RRGGBB tol label: the mean colour within tol of RRGGBB
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
color_count() {  # file RRGGBB fuzz% [x y w h]: pixels near a colour
    local crop=()
    [ $# -ge 7 ] && crop=(-crop "${6}x${7}+${4}+${5}" +repage)
    convert "$1" "${crop[@]}" -alpha off -fuzz "$3%" -fill white -opaque "#$2" \
        -fill black +opaque white -format "%[fx:round(mean*w*h)]" info: 2>/dev/null
}
bright_permille() {  # file x y w h: share (0-1000) of bright pixels (text)
    convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -colorspace Gray -threshold 45% \
        -format "%[fx:round(mean*1000)]" info: 2>/dev/null
}
spread_permille() {  # file: standard deviation (0-1000); a blank window is near 0
    convert "$1" -colorspace Gray -format "%[fx:round(standard_deviation*1000)]" info: 2>/dev/null
}
# A check on a number: "label: what (n)" or a failure.
expect_gt() {  # value min ok-text fail-text
    if [ "${1:-0}" -gt "$2" ]; then note "$3 ($1)"; else fail "$4 (${1:-?})"; fi
}

# What every screen of the main window shares: size, not blank, the sidebar
# and the title band in their colours.
check_frame() {  # file width height label
    local f="$1" l="$4" size s
    size=$(identify -format "%w %h" "$f" 2>/dev/null)
    [ "$size" = "$2 $3" ] && note "$l: size $size" || fail "$l: size is '$size', expected $2 x $3"
    s=$(spread_permille "$f")
    expect_gt "$s" 40 "$l: not blank (spread)" "$l: looks blank (spread)"
    region_is "$f" 4 300 8 200 12151A 6 "$l sidebar"
    region_is "$f" 300 2 200 6 0E1014 6 "$l title band"
}
# The sidebar in detail: its edge line, the labels, the green live-status dot.
check_sidebar() {  # file label
    region_is "$1" 231 300 1 200 242935 10 "$2 sidebar edge"
    expect_gt "$(bright_permille "$1" 60 116 150 220)" 15 "$2: sidebar labels rendered" "$2: no sidebar text"
    [ "$(color_count "$1" 3DD68C 6)" -gt 10 ] && note "$2: live status dot" || fail "$2: no live status dot"
}
check_title() {  # file label [width]: the page title is drawn
    expect_gt "$(bright_permille "$1" 268 40 "${3:-200}" 40)" 30 "$2: page title rendered" "$2: no page title"
}
# The selected navigation entry has the selection colour, the others the sidebar's.
check_selected() {  # file page label
    local i top bad=0
    for i in 0 1 2 3 4; do
        top=$((116 + 44 * i + 12))
        if [ "$i" -eq "$2" ]; then region_is "$1" 190 $top 20 16 1D2129 5 "$3 entry $i selected" || bad=1
        else region_is "$1" 190 $top 20 16 12151A 5 "$3 entry $i plain" || bad=1; fi
    done
    return $bad
}

# ---- windows and screenshots ---------------------------------------------------

main_window() {  # the X id of the visible Kalorix window (the largest one)
    local id best="" bestArea=0 w h
    for id in $(xdotool search --onlyvisible --name '^Kalorix$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || continue
        w=${WIDTH:-0}; h=${HEIGHT:-0}
        if [ $((w * h)) -gt $bestArea ]; then best=$id; bestArea=$((w * h)); fi
    done
    [ -n "$best" ] && echo "$best"
}
geometry() {  # id -> "x y w h"
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
    echo "$X $Y $WIDTH $HEIGHT"
}
shoot() {  # id name -> $out/name.png
    local f="$out/$2.png"
    import -window "$1" "$f" 2>/dev/null || import -window root "$f"
    echo "$f"
}
# The window is shown and its sampler has delivered: the status dot is green.
wait_ready() {  # id seconds
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
# Until the Hardware page shows its cards: a panel-coloured block at the content's top left.
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
# Until a Kalorix window is visible, the app ended or seconds ran out: sets win.
wait_window() {  # seconds
    local i
    win=""
    for i in $(seq 1 "$1"); do
        win=$(main_window) && return 0
        [ -n "$app" ] && ! kill -0 "$app" 2>/dev/null && return 1
        sleep 1
    done
    return 1
}
# Drags the bottom-right resize border of the window far past its minimum.
drag_smaller() {  # x y w h of the window
    xdotool mousemove --sync $(($1 + $3 - 2)) $(($2 + $4 - 2)) mousedown 1 2>/dev/null
    sleep 0.5
    xdotool mousemove --sync $(($1 + 500)) $(($2 + 300)) 2>/dev/null
    sleep 0.5
    xdotool mousemove --sync $(($1 + 400)) $(($2 + 250)) 2>/dev/null
    sleep 0.5
    xdotool mouseup 1 2>/dev/null
    sleep 2
}
# A slow click: Wine without a window manager may drop a fast one.
press() {  # x y
    xdotool mousemove "$1" "$2"; sleep 0.3; xdotool mousedown 1; sleep 0.15; xdotool mouseup 1; sleep 0.2
}
win_xywh() { read -r WX WY WW WH <<<"$(geometry "$1")"; }  # id -> WX WY WW WH
# The window's area of the virtual screen as $out/NAME.png and DIR/NAME.ppm
# (for look); also sets WX WY WW WH.
shot_ppm() {  # id name dir
    win_xywh "$1"
    import -window root "$3/root.png"
    convert "$3/root.png" -crop "${WW}x${WH}+${WX}+${WY}" +repage "$out/$2.png"
    convert "$out/$2.png" -depth 8 ppm:"$3/$2.ppm"
}
# look buttons|count|distinct|primary PPM [...]: see lib/look.py
look() { python3 "$e2e_lib/look.py" "$@"; }
# Shrinks the main window (win) to its minimum by the resize drag (with
# "direct": a direct resize when the drag does not take), checks 980 x 640,
# sets wx wy ww wh and moves the pointer off the content.
shrink_to_min() {  # [direct]
    drag_smaller "$wx" "$wy" "$ww" "$wh"
    read -r wx wy ww wh <<<"$(geometry "$win")"
    if [ -n "${1:-}" ] && [ "$ww $wh" != "980 640" ]; then
        note "resize drag gave $ww x $wh; setting the size directly"
        xdotool windowsize "$win" 900 600 2>/dev/null; sleep 2
        read -r wx wy ww wh <<<"$(geometry "$win")"
    fi
    [ "$ww $wh" = "980 640" ] && note "minimum size 980 x 640 holds" || fail "minimum size: got $ww x $wh"
    xdotool mousemove --sync $((wx + 5)) $((wy + 300)) 2>/dev/null
    sleep 1
}
# Scrolls the main window's content down and shoots it with the pointer off it.
scroll_shot() {  # dx dy count name -> file
    wheel $((wx + $1)) $((wy + $2)) "$3" 5 80
    sleep 2
    xdotool mousemove --sync $((wx + 5)) $((wy + 300)) 2>/dev/null
    sleep 1
    shoot "$win" "$4"
}
wheel() {  # x y count button(4 up, 5 down) delay-ms: turns the wheel over a point
    xdotool mousemove --sync "$1" "$2" 2>/dev/null
    xdotool click --repeat "$3" --delay "$5" "$4"
}

# ---- the app -------------------------------------------------------------------

# Starts kalorix.exe in the background (with whatever KALORIX_* variables the
# caller set) under a hard time limit; its output is added to LOG.out/LOG.err.
start_app() {  # log-base [args...]
    local log="$1"; shift
    KALORIX_WINE_TIMEOUT="${KALORIX_WINE_TIMEOUT:-240}" "$run" "$exe" "$@" >> "$log.out" 2>> "$log.err" &
    app=$!
}
# Ends only the kalorix.exe this script started, and waits for its window to go.
stop_app() {
    [ -n "$app" ] || return 0
    kill "$app" 2>/dev/null
    local i
    for i in $(seq 1 20); do kill -0 "$app" 2>/dev/null || break; sleep 0.5; done
    kill -0 "$app" 2>/dev/null && kill -9 "$app" 2>/dev/null
    wait "$app" 2>/dev/null
    app=""
    for i in $(seq 1 20); do
        xdotool search --name '^Kalorix$' >/dev/null 2>&1 || break
        sleep 0.5
    done
}

# ---- the profile -----------------------------------------------------------------

# Finds the prefix user's Kalorix folder (roam) and Pictures folder, keeps a
# copy of the Kalorix folder and gives Pictures a private folder (Wine links it
# to the Linux home; saved images must stay in this prefix). profile_restore
# puts both back, so the other scripts of this prefix find them as they were.
profile_save() {
    local users="$WINEPREFIX/drive_c/users" user
    user=$(ls "$users" 2>/dev/null | grep -vi '^public$' | head -1)
    [ -n "$user" ] || die "no user folder in the prefix"
    roam="$users/$user/AppData/Roaming/Kalorix"
    pictures="$users/$user/Pictures"
    profile_tmp=$(mktemp -d /tmp/kalorix-e2e-profile.XXXXXX)
    pictures_link=$(readlink "$pictures" 2>/dev/null)
    [ -d "$roam" ] && cp -a "$roam" "$profile_tmp/roaming-backup"
    if [ -L "$pictures" ] || [ ! -d "$pictures" ]; then rm -f "$pictures"; mkdir -p "$pictures"; fi
    mkdir -p "$roam"
}
# The usual end of a script that changed the profile: its app stopped, the
# profile put back, its scratch folder (tmp) removed.
e2e_cleanup() {
    stop_app
    profile_restore
    [ -n "${tmp:-}" ] && rm -rf "$tmp"
    return 0
}
profile_restore() {
    [ -n "${profile_tmp:-}" ] || return 0
    rm -rf "$roam"
    [ -d "$profile_tmp/roaming-backup" ] && cp -a "$profile_tmp/roaming-backup" "$roam"
    if [ -n "$pictures_link" ]; then rm -rf "$pictures"; ln -s "$pictures_link" "$pictures"; fi
    rm -rf "$profile_tmp"
    profile_tmp=""
}
# The newest report image in Pictures\Kalorix with the expected name and size.
check_report_image() {  # file
    case "$(basename "$1")" in
      Kalorix-rapor-[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]-[0-9][0-9][0-9][0-9][0-9][0-9].png)
        note "report image name $(basename "$1")" ;;
      *) fail "unexpected file name $(basename "$1")"; return 1 ;;
    esac
    local size; size=$(identify -format '%wx%h' "$1" 2>/dev/null)
    [ "$size" = 1760x1120 ] && note "report image is 1760x1120" || { fail "report image is $size"; return 1; }
}
# The export opens a file window on the saved image ("explorer /select,..."):
# ends that process again so that later checks see only their own windows.
close_reveal_window() {  # own window id
    local w pid revealed="" i
    for i in $(seq 1 30); do
        for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
            [ "$w" = "$1" ] && continue
            pid=$(xdotool getwindowpid "$w" 2>/dev/null) || continue
            if tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | grep -q 'explorer.exe /select,.*Kalorix-rapor-'; then
                revealed=1
                kill "$pid" 2>/dev/null
            fi
        done
        [ -n "$revealed" ] && return 0
        sleep 0.5
    done
    echo "note: no file window seen for the saved image"
}

# ---- the Tests page ----------------------------------------------------------------

# On the Tests page with no test running (shot DIR/PREFIX-idle.ppm taken):
# finds the CPU card's start button (the topmost-leftmost primary button; sets
# idle[], cx cy and px, a plain accent pixel left of its label) and presses it
# until the card changes (DIR/PREFIX-running.ppm). Stops the script on failure.
start_cpu_test() {  # id dir prefix
    local id="$1" dir="$2" p="$3" bl bt br bb started="" i j
    mapfile -t idle < <(look buttons "$dir/$p-idle.ppm")
    [ "${#idle[@]}" -ge 2 ] || die "expected the start buttons of the first card row, found ${#idle[@]}"
    read -r bl bt br bb <<< "${idle[0]}"
    cx=$(( (bl + br) / 2 )); cy=$(( (bt + bb) / 2 )); px=$((bl + 4))
    echo "CPU start button at $cx,$cy (window), $((br - bl + 1)) x $((bb - bt + 1))"
    # A first click on an empty part of the sidebar activates the window; Wine
    # without a window manager may swallow the click that activates it, so the
    # button is pressed again while its card still offers a start.
    press $((WX + 100)) $((WY + WH - 150))
    # Starting the child can hold the window for a few seconds under load, so
    # each press waits for the card to change before the next one.
    for i in 1 2 3; do
        press $((WX + cx)) $((WY + cy))
        xdotool mousemove $((WX + 100)) $((WY + WH - 150))
        for j in $(seq 1 12); do
            sleep 0.8
            shot_ppm "$id" "$p-running" "$dir"
            [ "$(look primary "$dir/$p-running.ppm" "$px" "$cy")" = 0 ] && { started=1; break 2; }
        done
    done
    [ -n "$started" ] || die "the CPU card still shows its start button"
}
# Until the finished CPU test's record is in history.txt.
wait_cpu_record() {  # seconds
    local i
    for i in $(seq 1 $(($1 / 2))); do
        grep -q $'^B\tcpu\t' "$roam/history.txt" 2>/dev/null && return 0
        sleep 2
    done
    die "the CPU test left no record in history.txt"
}
# From the Tests page: scrolls to the top, presses the header's save button
# until a report image lands in Pictures\Kalorix (sets saved), and checks its
# name and size. Shoots the page (id, NAME) right after each press.
save_report_image() {  # id dir name
    local i j
    for i in $(seq 1 60); do xdotool mousemove $((WX + WW / 2)) $((WY + WH / 2)) click 4; sleep 0.02; done; sleep 1
    saved=""
    for i in 1 2 3; do
        press $((WX + WW - 111)) $((WY + 63))
        shot_ppm "$1" "$3" "$2"  # before the file window the export opens covers the page
        for j in $(seq 1 10); do
            saved=$(find "$pictures/Kalorix" -name 'Kalorix-rapor-*.png' 2>/dev/null | head -1)
            [ -n "$saved" ] && break 2
            sleep 0.5
        done
    done
    [ -n "$saved" ] || { fail "no report image in Pictures\\Kalorix"; return 1; }
    check_report_image "$saved"
}

# ---- the tray ----------------------------------------------------------------------

# A click on the close button of the main window (win at wx wy ww): with
# MinimizeToTray the window goes and the process keeps running.
hide_to_tray() {
    local hidden=0 i
    xdotool mousemove --sync $((wx + ww - 23)) $((wy + 18)) click 1
    for i in $(seq 1 10); do
        sleep 1
        if ! xdotool search --onlyvisible --name '^Kalorix$' >/dev/null 2>&1 || [ "$(main_window)" != "$win" ]; then hidden=1; break; fi
    done
    [ $hidden -eq 1 ] && note "close button hid the window to the tray" || fail "the window did not hide to the tray"
    kill -0 "$app" 2>/dev/null && note "process keeps running in the tray" || fail "process ended on close"
}
# A click on the tray icon; when there is no tray window or no reaction, a
# second start asks the running instance to show itself. Sets restored (0 none,
# 1 by the icon, 2 by the second start) and w2, the window that came back.
restore_from_tray() {
    local id tray="" i
    restored=0; w2=""
    for id in $(xdotool search --onlyvisible --class 'explorer.exe' 2>/dev/null) $(xdotool search --onlyvisible --name 'tray|Tray' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
        if [ "${HEIGHT:-999}" -le 64 ] && [ "${WIDTH:-0}" -ge 8 ]; then tray=$id; break; fi
    done
    if [ -n "$tray" ]; then
        eval "$(xdotool getwindowgeometry --shell "$tray")"
        note "tray window $tray at $X,$Y ${WIDTH}x${HEIGHT}"
        # The icon sits at the left of the tray window.
        xdotool mousemove --sync $((X + HEIGHT / 2)) $((Y + HEIGHT / 2)) click 1
        for i in $(seq 1 10); do sleep 1; w2=$(main_window) && { restored=1; break; }; done
    fi
    if [ $restored -eq 0 ]; then
        note "no tray window found or no reaction; asking the running instance to show itself"
        KALORIX_WINE_TIMEOUT=30 "$run" "$exe" > /dev/null 2>&1
        for i in $(seq 1 10); do sleep 1; w2=$(main_window) && { restored=2; break; }; done
    fi
    [ $restored -ne 0 ] || fail "the window did not come back"
    [ $restored -eq 1 ] && note "restored by the tray icon"
    return 0
}
