# Shared machinery of the end-to-end scripts in tests/e2e (sourced, not run).
#
# The scripts drive kalorix-test.exe, the test build, which rewrites a frame
# report after every paint (KALORIX_FRAME_REPORT): "key value" lines of the
# window's state and "region x y w h action-id" lines of its live hit regions.
# Clicks go to a region's centre by action id, and every check waits (bounded)
# until the report shows the expected state; screenshots are for people.
# Every wait here is bounded.

e2e_lib="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
e2e_init() {  # exe build NAME [SUBDIR of the artifacts folder]
    exe="$1"; build="$2"; shift 2
    run="$e2e_lib/../../../scripts/wine-run"
    out="${KALORIX_ARTIFACTS:-$build/artifacts}${2:+/$2}"
    mkdir -p "$out"
    rm -f "$out"/*.png
    e2e_name="$1"
    failures=0
    app=""
    tmp=$(mktemp -d /tmp/kalorix-e2e.XXXXXX)
    frame="$tmp/frame.txt"
    trap e2e_cleanup EXIT
}
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "  $*"; }
die() { echo "FAIL: $*"; exit 1; }
check() {  # label command...: notes or fails by the command's status
    local label="$1"; shift
    if "$@"; then note "$label"; else fail "$label"; fi
}
# The closing line: NAME ok, or the number of failed checks and exit 1.
e2e_finish() {
    stop_app
    if grep -qs "Unimplemented function" "$tmp"/*.err; then fail "an unimplemented Wine function was called"; fi
    echo "screens in $out"
    [ "$failures" -eq 0 ] && echo "$e2e_name ok" || { echo "$failures check(s) failed"; exit 1; }
}
e2e_cleanup() {
    stop_app
    profile_restore
    [ -n "${tmp:-}" ] && rm -rf "$tmp"
    return 0
}

wait_for() {  # SECONDS COMMAND...: until the command succeeds, polled every 0.2 s
    local n=$(($1 * 5)); shift
    while [ "$n" -gt 0 ]; do "$@" && return 0; sleep 0.2; n=$((n - 1)); done
    return 1
}

# ---- the frame report ----------------------------------------------------------------

rv() { sed -n "s/^$1 //p" "$frame" 2>/dev/null | head -1; }  # KEY -> value in the latest report
frame_no() { local n; n=$(rv frame); echo "${n:-0}"; }
# Until the report says KEY VALUE. The report that said so is kept as $matched,
# so that further checks can look at that very frame: frame="$matched" has_region ID.
wait_rv() {  # KEY VALUE SECONDS
    local i
    matched="$tmp/matched.txt"
    for i in $(seq 1 $(($3 * 5))); do
        cp "$frame" "$matched" 2>/dev/null
        [ "$(frame="$matched" rv "$1")" = "$2" ] && return 0
        sleep 0.2
    done
    return 1
}
frames_from() { [ "$(frame_no)" -ge "$1" ]; }
wait_frames() { wait_for "$2" frames_from $(($(frame_no) + $1)); }  # N SECONDS: N more frames painted
region() {  # ID -> "x y w h" of the action's region in the latest report
    awk -v id="$1" '$1 == "region" { n = $0; sub(/^region [^ ]+ [^ ]+ [^ ]+ [^ ]+ /, "", n)
                                     if (n == id) { print $2, $3, $4, $5; exit } }' "$frame" 2>/dev/null
}
has_region() { [ -n "$(region "$1")" ]; }
wait_region() { wait_for "$2" has_region "$1"; }  # ID SECONDS

# ---- input ---------------------------------------------------------------------------

win_xywh() { eval "$(xdotool getwindowgeometry --shell "$win" 2>/dev/null)"; WX=$X; WY=$Y; WW=$WIDTH; WH=$HEIGHT; }
park_pointer() { win_xywh; xdotool mousemove --sync $((WX + 120)) $((WY + WH - 130)) 2>/dev/null; }
# A press at the centre of the action's region (96 DPI: DIPs are pixels), once
# the window reports the pointer over that action: a press sent before the window
# has seen the pointer arrive can land on the regions of an older frame.
click() {  # ID
    local r x y w h
    r=$(region "$1") || true
    [ -n "$r" ] || { echo "  (no region $1)"; return 1; }
    read -r x y w h <<<"$r"
    win_xywh
    xdotool mousemove --sync $((WX + x + w / 2)) $((WY + y + h / 2)) 2>/dev/null
    wait_rv hovered "$1" 10 || echo "  (the window did not report the pointer over $1)"
    xdotool mousedown 1; sleep 0.1; xdotool mouseup 1
}
# Clicks an action and waits until the report shows KEY VALUE.
act() {  # ID KEY VALUE [SECONDS]
    click "$1" || return 1
    wait_rv "$2" "$3" "${4:-10}"
}
keys_until() {  # KEYS KEY VALUE: keys to the window until the report shows KEY VALUE
    xdotool key "$1"; wait_rv "$2" "$3" 4 && return 0
    xdotool key "$1"; wait_rv "$2" "$3" 6
}
wheel_to_end() {  # BUTTON (4 up, 5 down): turns the wheel until the scroll offset stops at its end
    local i want
    win_xywh
    xdotool mousemove --sync $((WX + WW / 2)) $((WY + WH / 2)) 2>/dev/null
    for i in $(seq 1 80); do
        [ "$1" = 5 ] && want=$(rv maxscroll) || want=0
        [ "$(rv scroll)" = "$want" ] && { park_pointer; return 0; }
        xdotool click "$1"; sleep 0.1
    done
    park_pointer
    return 1
}
# Drags the bottom-right resize border far past the minimum; then the report
# must show the minimum size.
drag_to_min() {
    win_xywh
    xdotool mousemove --sync $((WX + WW - 2)) $((WY + WH - 2)) mousedown 1 2>/dev/null; sleep 0.3
    xdotool mousemove --sync $((WX + 500)) $((WY + 300)) 2>/dev/null; sleep 0.3
    xdotool mousemove --sync $((WX + 400)) $((WY + 250)) 2>/dev/null; sleep 0.3
    xdotool mouseup 1 2>/dev/null
    wait_rv width 980 10 && wait_rv height 640 5 && return 0
    note "the resize drag did not take; setting the size directly"
    xdotool windowsize "$win" 900 600 2>/dev/null
    wait_rv width 980 10 && wait_rv height 640 5
}

# ---- windows and screenshots -----------------------------------------------------------

main_window() {  # the X id of the visible Kalorix window (the largest one)
    local id best="" bestArea=0
    for id in $(xdotool search --onlyvisible --name '^Kalorix$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || continue
        if [ $((WIDTH * HEIGHT)) -gt $bestArea ]; then best=$id; bestArea=$((WIDTH * HEIGHT)); fi
    done
    [ -n "$best" ] && echo "$best"
}
# Until a Kalorix window is visible and has painted live data; sets win.
wait_window() {  # seconds
    local i
    win=""
    for i in $(seq 1 "$1"); do
        win=$(main_window) && [ "$(rv ready)" = 1 ] && return 0
        [ -n "$app" ] && ! kill -0 "$app" 2>/dev/null && return 1
        sleep 1
    done
    return 1
}
shoot() {  # NAME -> $out/NAME.png (the window, pointer parked)
    local f="$out/$1.png"
    import -window "$win" "$f" 2>/dev/null || import -window root "$f"
    echo "$f"
}
# Pixels near a colour in a screenshot (a sanity check that something was drawn).
color_count() {  # file RRGGBB fuzz%
    convert "$1" -alpha off -fuzz "$3%" -fill white -opaque "#$2" -fill black +opaque white \
        -format "%[fx:round(mean*w*h)]" info: 2>/dev/null
}
not_blank() {  # file: the screenshot has content (grey-level spread)
    [ "$(convert "$1" -colorspace Gray -format "%[fx:round(standard_deviation*1000)]" info: 2>/dev/null)" -gt 40 ]
}

# ---- the app ---------------------------------------------------------------------------

# Starts the executable in the background (with whatever KALORIX_* variables the
# caller set) under a hard time limit, with its frame report in $frame.
start_app() {  # log-name [args...]
    local log="$tmp/$1"; shift
    rm -f "$frame"
    KALORIX_FRAME_REPORT="Z:${frame//\//\\}" KALORIX_WINE_TIMEOUT="${KALORIX_WINE_TIMEOUT:-240}" \
        "$run" "$exe" "$@" >> "$log.out" 2>> "$log.err" &
    app=$!
}
# Ends only the process this script started, and waits for its window to go.
stop_app() {
    [ -n "${app:-}" ] || return 0
    kill "$app" 2>/dev/null
    local i
    for i in $(seq 1 20); do kill -0 "$app" 2>/dev/null || break; sleep 0.5; done
    kill -0 "$app" 2>/dev/null && kill -9 "$app" 2>/dev/null
    wait "$app" 2>/dev/null
    app=""
    for i in $(seq 1 20); do xdotool search --name '^Kalorix$' >/dev/null 2>&1 || break; sleep 0.5; done
}
window_hidden() { ! xdotool search --onlyvisible --name '^Kalorix$' >/dev/null 2>&1; }

# ---- the profile -------------------------------------------------------------------------

# Finds the prefix user's Kalorix folder (roam) and Pictures folder, keeps a copy
# of the Kalorix folder and gives Pictures a private folder (Wine links it to the
# Linux home; saved images must stay in this prefix). profile_restore (run at
# exit) puts both back for the other scripts of this prefix.
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
    rm -rf "$roam"; mkdir -p "$roam"
}
profile_restore() {
    [ -n "${profile_tmp:-}" ] || return 0
    rm -rf "$roam"
    [ -d "$profile_tmp/roaming-backup" ] && cp -a "$profile_tmp/roaming-backup" "$roam"
    if [ -n "$pictures_link" ]; then rm -rf "$pictures"; ln -s "$pictures_link" "$pictures"; fi
    rm -rf "$profile_tmp"
    profile_tmp=""
}
answered_profile() {  # settings.json with the first-test prompt already answered, plus extra lines
    printf '{\n%s  "FirstTestOffered": true\n}\n' "${1:-}" > "$roam/settings.json"
}
wait_file_line() { wait_for "$3" grep -Eqs "$2" "$1"; }  # file extended-regex seconds
