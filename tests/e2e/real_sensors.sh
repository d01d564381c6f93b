#!/usr/bin/env bash
# The test build with its real sensor providers under Wine (no
# KALORIX_FAKE_SENSORS). Wine has no processor counters, so the processor load
# comes from the system's time accounting: the Overview shows a load and the
# Sensors page lists a load row for every logical processor. Screenshots of
# both pages in $out for people; the checks read the frame report.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" real_sensors real-sensors
profile_save
answered_profile '  "ShareData": false,
'
unset KALORIX_FAKE_SENSORS KALORIX_FAKE_CLOCK
threads=$(getconf _NPROCESSORS_ONLN)

start_app app
wait_window 60 || die "no Kalorix window with live data within 60 s"

# ---- Overview: the CPU load card has a value -------------------------------------
keys_until ctrl+1 page 0 || fail "Ctrl+1 did not select the Overview"
for _ in $(seq 1 50); do [ "$(rv cpuload)" != - ] && [ -n "$(rv cpuload)" ] && break; sleep 0.2; done
load=$(rv cpuload)
[[ "$load" =~ ^[0-9]+$ ]] && note "overview: processor load $load %" || fail "overview: no processor load ('$load')"
park_pointer; wait_frames 1 5
shoot 10-overview-real >/dev/null

# ---- Sensors: one load row per logical processor -----------------------------------
keys_until ctrl+2 page 1 || fail "Ctrl+2 did not select the Sensors page"
rows=0
for _ in $(seq 1 25); do
    rows=$(grep -Ec '^region .* row/cpu/load/core[0-9]+$' "$frame" 2>/dev/null)
    [ "${rows:-0}" -ge "$threads" ] && break
    sleep 0.2
done
[ "${rows:-0}" -eq "$threads" ] && note "sensors: $rows load rows for $threads logical processors" \
    || fail "sensors: ${rows:-0} load rows for $threads logical processors"
check "sensors: the total load row" has_region row/cpu/load/total
park_pointer; wait_frames 1 5
shoot 20-sensors-real >/dev/null
wheel_to_end 5 && { wait_frames 1 5; shoot 21-sensors-real-end >/dev/null; }

e2e_finish
