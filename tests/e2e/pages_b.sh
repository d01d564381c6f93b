#!/usr/bin/env bash
# The Tests page of kalorix-test.exe with scripted sensors: the CPU test started
# by a click on its card (the other cards offer no start meanwhile), its record
# in history.txt and the card's "Yeniden test et" afterwards; then a seeded
# history (report card and all four results) at 1180 x 780 and at the 980 x 640
# minimum, and the report image saved from the header button with its toast; last the
# thermal stop of a CPU test on the hot demo machine.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" pages_b pages_b
profile_save
answered_profile '  "WarningTemp": 100,
  "MinimizeToTray": false,
'

# ---- the CPU test ("idle": the hot demo machine would trip the thermal stop) ---------
KALORIX_FAKE_SENSORS=idle KALORIX_FAKE_CLOCK=30 KALORIX_BENCH_TIME_SCALE=0.4 start_app idle
wait_window 60 || die "no Kalorix window with live data within 60 s"
keys_until ctrl+4 page 3 || die "Ctrl+4 did not select the Tests page"
park_pointer; wait_frames 1 5
shoot 01-tests-idle >/dev/null
check "the cards offer their starts" has_region tests/run/memory
act tests/run/cpu bench cpu 15 || die "the CPU test did not start"
frame="$matched" has_region tests/run/memory && fail "another card offers a start while the CPU test runs"
check "the running card offers a stop" eval 'frame="$matched" has_region tests/stop/cpu'
shoot 02-tests-running >/dev/null
wait_file_line "$roam/history.txt" $'^B\tcpu\t' 120 || die "the CPU test left no record in history.txt"
wait_rv bench - 10 || fail "the runner still reports a running test"
check "after the run the card offers 'Yeniden test et'" wait_region tests/run/cpu 10
park_pointer; wait_frames 1 5
shoot 03-tests-after-cpu >/dev/null
stop_app

# ---- a seeded history: report card with data and all four results -----------------
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
KALORIX_FAKE_SENSORS=demo KALORIX_FAKE_CLOCK=30 start_app demo
wait_window 60 || die "no Kalorix window with live data within 60 s"
keys_until ctrl+4 page 3 || die "Ctrl+4 did not select the Tests page"
park_pointer; wait_frames 1 5
shoot 04-tests-results-top >/dev/null
wheel_to_end 5 || fail "the wheel did not reach the end of the page"
shoot 05-tests-results-bottom >/dev/null
check "all four result cards offer 'Yeniden test et'" has_region tests/run/gpu
wheel_to_end 4

xdotool windowsize "$win" 980 640
wait_rv width 980 10 || fail "the window did not shrink to 980 x 640"
park_pointer; wait_frames 1 5
shoot 06-tests-min-top >/dev/null
wheel_to_end 5; shoot 07-tests-min-bottom >/dev/null
wheel_to_end 4

# ---- the report image from the header button ---------------------------------------------
click tests/export || fail "no 'Görseli kaydet' button"
wait_rv toast "Kaydedildi: Resimler\\Kalorix" 20 || fail "no toast after saving (toast: '$(rv toast)')"
# The export opens a file window on the image; it must not cover the page nor
# outlive this script.
for i in $(seq 1 15); do pkill -f 'explorer.exe /select,' 2>/dev/null && break; sleep 0.2; done
shoot 08-tests-saved-toast >/dev/null
saved=$(find "$pictures/Kalorix" -name 'Kalorix-rapor-*.png' 2>/dev/null | head -1)
case "$(basename "${saved:-none}")" in
  Kalorix-rapor-[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]-[0-9][0-9][0-9][0-9][0-9][0-9].png)
    note "report image $(basename "$saved")"
    check "report image is 1760x1120" [ "$(identify -format '%wx%h' "$saved" 2>/dev/null)" = 1760x1120 ]
    cp "$saved" "$out/09-report-image.png" ;;
  *) fail "no report image with the expected name in Pictures\\Kalorix" ;;
esac
check "no action id registered twice" [ "$(rv duplicates)" = 0 ]
stop_app

# ---- the thermal stop: the hot demo machine is past the 60 °C limit, the full-length
# CPU test is stopped at the next snapshot and its card says why -----------------------
rm -f "$roam/history.txt"
answered_profile '  "UpdateIntervalMs": 500,
  "WarningTemp": 60,
  "MinimizeToTray": false,
'
KALORIX_FAKE_SENSORS=demo start_app hot  # real time: each snapshot is a frame of its own
wait_window 60 || die "no Kalorix window with live data within 60 s"
keys_until ctrl+4 page 3 || die "Ctrl+4 did not select the Tests page"
hot() { local t; t=$(rv cputemp); [ "${t:--}" != - ] && [ "${t%%.*}" -ge 62 ]; }
wait_for 90 hot || die "the demo machine did not warm up (cputemp $(rv cputemp))"
act tests/run/cpu bench cpu 15 || die "the CPU test did not start"
# The run's end reaches the series with the next message: wait for both.
wait_rv bench - 20 && wait_rv series - 20 || die "the hot CPU test was not stopped"
stop_reason=$(frame="$matched" rv test.cpu.error)
names_the_limit() {  # the stop names a temperature at or above the limit
    local t
    t=$(printf '%s' "$1" | sed -n "s/^İşlemci \([0-9]\+\) °C'ye ulaştı; güvenlik için test durduruldu$/\1/p")
    [ -n "$t" ] && [ "$t" -ge 60 ]
}
check "the stopped card says why: $stop_reason" names_the_limit "$stop_reason"
check "the runner keeps the first reason" [ "$(frame="$matched" rv bench.error)" = "$stop_reason" ]
check "the stopped card holds no result" [ "$(frame="$matched" rv test.cpu)" = "idle -" ]
check "the stopped card offers its start again" wait_region tests/run/cpu 10
park_pointer; wait_frames 1 5
shoot 10-tests-thermal-stop >/dev/null

e2e_finish
