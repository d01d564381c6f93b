#!/usr/bin/env bash
# The walk a user makes through kalorix.exe in one run, on a fresh profile with
# the scripted demo sensors (the "idle" machine, so that the CPU test is not
# stopped for heat): the first-test prompt dismissed, the five pages by
# Ctrl+1..5, the window hidden to the tray by its close button and restored,
# the CPU test started on the Tests page and its result, and the report image
# saved from the page's header button into Pictures\Kalorix.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" walk walk
rm -f "$out"/*.png "$out/walk.out" "$out/walk.err"
tmp=$(mktemp -d /tmp/kalorix-walk.XXXXXX)
t0=$(date +%s)

profile_save
trap e2e_cleanup EXIT
rm -rf "$roam"; mkdir -p "$roam"  # a fresh profile: the prompt comes up

KALORIX_FAKE_SENSORS=idle KALORIX_FAKE_CLOCK=20 KALORIX_BENCH_TIME_SCALE=0.1 start_app "$out/walk"
wait_window 60 || { fail "no Kalorix window within 60 s"; tail -5 "$out/walk.err"; exit 1; }
wait_ready "$win" 40 || fail "no sensor snapshot shown within 40 s"
read -r wx wy ww wh <<<"$(geometry "$win")"
note "window $win at $wx,$wy ${ww}x$wh"

# ---- the first-test prompt -----------------------------------------------------
f=$(shoot "$win" 00-first-test-prompt)
read -r r g b <<<"$(region_rgb "$f" 4 300 8 200)"
if [ "$r" -le 16 ] && [ "$g" -le 19 ]; then  # the sidebar under the dimming overlay
    note "first-test prompt is up"
    [ "$(color_count "$f" 5B8CFF 8)" -gt 300 ] && note "prompt: primary button" || fail "prompt: no primary button"
else
    fail "no first-test prompt on a fresh profile (sidebar $r,$g,$b)"
fi
xdotool mousemove --sync $((wx + 10)) $((wy + 400)) 2>/dev/null
xdotool key Escape
sleep 1.5
f=$(shoot "$win" _after-prompt)
region_is "$f" 4 300 8 200 12151A 6 "prompt dismissed: sidebar" || fail "the prompt stayed up"
rm -f "$f"

# ---- the five pages ---------------------------------------------------------------
# Ctrl+N until the sidebar shows entry N-1 selected. The window can be busy for
# a moment (the inventory arriving, a page's first layout) and a key sent then
# may go missing, so it is sent again once halfway.
goto_page() {  # index
    local k f r g b
    xdotool key "ctrl+$(($1 + 1))"
    for k in $(seq 1 12); do
        sleep 0.5
        f=$(shoot "$win" _page)
        read -r r g b <<<"$(region_rgb "$f" 190 $((116 + 44 * $1 + 12)) 20 16)"
        rm -f "$f"
        [ $(( (r-29)*(r-29) <= 25 && (g-33)*(g-33) <= 25 && (b-41)*(b-41) <= 25 )) -eq 1 ] && return 0
        [ "$k" -eq 6 ] && xdotool key "ctrl+$(($1 + 1))"
    done
    return 1
}
names=(overview sensors hardware tests settings)
for i in 0 1 2 3 4; do
    goto_page $i || fail "${names[$i]}: Ctrl+$((i + 1)) did not select the page within 6 s"
    if [ $i -eq 2 ]; then
        f=$(wait_cards "$win" 30 "0$((i + 1))-${names[$i]}") || fail "hardware: no report cards within 30 s"
    else
        sleep 1
        f=$(shoot "$win" "0$((i + 1))-${names[$i]}")
    fi
    check_frame "$f" 1180 780 "${names[$i]}"
    check_sidebar "$f" "${names[$i]}"
    check_selected "$f" $i "${names[$i]}"
    check_title "$f" "${names[$i]}"
done

# ---- the tray ------------------------------------------------------------------------
xdotool key ctrl+4; sleep 1
hide_to_tray
restore_from_tray
[ $restored -ne 0 ] && win=$w2
wait_ready "$win" 20 || fail "restored window shows no live data"
f=$(shoot "$win" 06-restored)
check_frame "$f" 1180 780 restored
check_selected "$f" 3 restored

# ---- the CPU test -------------------------------------------------------------------
xdotool mousemove $((wx + 100)) $((wy + wh - 150)); sleep 0.5
shot_ppm "$win" 07-tests-idle "$tmp"
start_cpu_test "$win" "$tmp" 07-tests
note "CPU test started ($(($(date +%s) - t0)) s in)"
wait_cpu_record 60
sleep 1.5
shot_ppm "$win" 08-tests-after-cpu "$tmp"
[ "$(look primary "$tmp/08-tests-after-cpu.ppm" "$px" "$cy")" = 1 ] && note "CPU card offers 'Yeniden test et'" \
    || fail "no 'Yeniden test et' button after the run"
grep $'^B\tcpu\t' "$roam/history.txt" | head -1 | cut -f4 | sed 's/^/  CPU result: /'

# ---- the report image -----------------------------------------------------------------
if save_report_image "$win" "$tmp" 09-report-saved; then
    cp "$saved" "$out/10-report-image.png"
    # The toast under the header buttons ("Kaydedildi: Resimler\Kalorix").
    toast=0
    for i in $(seq 1 8); do
        f=$(shoot "$win" 11-report-toast)
        toast=$(bright_permille "$f" $((ww - 36 - 400)) 86 400 22)
        [ "${toast:-0}" -gt 10 ] && break
        sleep 0.5
    done
    expect_gt "$toast" 10 "saved-image toast shown" "no toast after the image was saved"
    close_reveal_window "$win"
fi

stop_app
note "walk took $(($(date +%s) - t0)) s"
e2e_finish "$out/walk.err"
