#!/usr/bin/env bash
# The Tests page of kalorix.exe under Wine + Xvfb with scripted sensors:
# idle, while the CPU test runs (started by a click on its button), after it,
# with a seeded history (report card and all four results) at 1180 x 780 and
# at the 980 x 640 minimum, and the report image saved from the header button.
# Screenshots land in $KALORIX_ARTIFACTS (or BUILD/artifacts).
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" pages_b
tmp=$(mktemp -d /tmp/kalorix-pages-b.XXXXXX)

# Whatever this script changes in the profile is put back at the end, so that
# the other checks of this prefix find it as it was.
profile_save
trap e2e_cleanup EXIT
printf '{\n  "WarningTemp": 100,\n  "MinimizeToTray": false,\n  "FirstTestOffered": true\n}\n' > "$roam/settings.json"
rm -f "$roam/history.txt"

# start_scenario SCENARIO: "idle" for the test run (the hot "demo" machine trips
# the thermal safety stop within seconds), "demo" for everything else.
start_scenario() {
  KALORIX_FAKE_SENSORS="$1" KALORIX_FAKE_CLOCK=30 KALORIX_BENCH_TIME_SCALE=0.25 start_app "$tmp/app"
  wait_window 60 || die "no Kalorix window"
  wid=$win
  sleep 4  # first snapshots
  win_geometry
}
win_geometry() { win_xywh "$wid"; }
shot() { shot_ppm "$wid" "$1" "$tmp"; }


# ---- 1. Idle, no results yet --------------------------------------------------
start_scenario idle
xdotool key --window "$wid" ctrl+4; sleep 1.5
xdotool mousemove $((WX + 100)) $((WY + WH - 150)); sleep 0.5
shot tests-idle
[ "$(look distinct "$tmp/tests-idle.ppm")" -gt 40 ] || die "idle page looks blank"

# ---- 2. The CPU test runs ------------------------------------------------------------
start_cpu_test "$wid" "$tmp" tests
mapfile -t busy < <(look buttons "$tmp/tests-running.ppm")
[ "${#busy[@]}" -le $(( ${#idle[@]} - 2 )) ] || die "other cards still offer a start while the CPU test runs"

# ---- 3. After the run: the CPU card shows its result ------------------------------------
wait_cpu_record 120
sleep 1.5
shot tests-after-cpu
[ "$(look primary "$tmp/tests-after-cpu.ppm" "$px" "$cy")" = 1 ] || die "no 'Yeniden test et' button after the run"
stop_app

# ---- 4. Seeded history: report card with data and all four results --------------------
now=$(date +%s)
{
  for i in 0 1 2 3 4 5; do
    printf 'S\t%d\t%d\t%d\t%d\t1\t%.1f\t%.1f\t%.1f\t%d\t%.1f\n' $((now - 86400 * i - 3600)) $((1500 + 240 * i)) \
      $((1400 + 240 * i)) $((60 + 25 * i)) "$((89 + i)).4" 78.0 71.0 $((3900 - 40 * i)) 38.5
  done
  printf 'B\tcpu\t%d\tcpu.mt_score=9876;cpu.st_score=1412;cpu.threads=16\t\n' $((now - 7200))
  printf 'B\tmemory\t%d\tmemory.copy_gbs=41.2;memory.latency_ns=86.4;memory.read_gbs=58.3;memory.score=1043;memory.size_gb=32;memory.write_gbs=44.9\t\n' $((now - 7100))
  printf 'B\tgpu\t%d\tgpu.bandwidth_gbs=264.5;gpu.gflops=8420;gpu.score=1180\tgpu.name=Örnek Ekran Kartı 8 GB\n' $((now - 7000))
  printf 'B\tdisk\t%d\tdisk.rnd_read_iops=45000;disk.rnd_write_iops=38200;disk.score=845;disk.seq_read_mbs=3420;disk.seq_write_mbs=2710\tdisk.drive=C:;disk.model=Örnek NVMe SSD 1 TB\n' $((now - 6900))
} > "$roam/history.txt"
start_scenario demo
xdotool key --window "$wid" ctrl+4; sleep 1.5
xdotool mousemove $((WX + 100)) $((WY + WH - 150)); sleep 0.5
shot tests-results-top
[ "$(look count "$tmp/tests-results-top.ppm" 3DD68C)" -gt 40 ] || die "no green grade on the report card"

scroll_down() {
  xdotool mousemove $((WX + WW / 2)) $((WY + WH / 2))
  for _ in $(seq 1 "$1"); do xdotool click 5; sleep 0.05; done
  xdotool mousemove $((WX + 100)) $((WY + WH - 150)); sleep 1
}
scroll_down 9; shot tests-results-middle
scroll_down 30; shot tests-results-bottom
[ "$(look distinct "$tmp/tests-results-bottom.ppm")" -gt 40 ] || die "bottom of the page looks blank"
mapfile -t again < <(look buttons "$tmp/tests-results-bottom.ppm")
[ "${#again[@]}" -ge 2 ] || die "the result cards offer no 'Yeniden test et' button"

# ---- 5. The minimum window size -----------------------------------------------------------
xdotool windowsize "$wid" 980 640; sleep 2
win_geometry
echo "window now ${WW}x${WH}"
[ "$WW" -le 1000 ] || die "window did not shrink"
scroll_down 0
for _ in $(seq 1 40); do xdotool click 4; sleep 0.03; done; sleep 1
xdotool mousemove $((WX + 100)) $((WY + WH - 150)); sleep 0.5
shot tests-min-top
scroll_down 7; shot tests-min-middle
scroll_down 9; shot tests-min-cards
scroll_down 30; shot tests-min-bottom

# ---- 6. The report image from the header button ---------------------------------------------
save_report_image "$wid" "$tmp" tests-saved-toast || exit 1
cp "$saved" "$out/report-image-from-window.png"

close_reveal_window "$wid"
stop_app
if grep -q "Unimplemented function" "$tmp/app.err"; then die "unimplemented Wine function called"; fi
echo "pages_b ok"
