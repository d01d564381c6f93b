#!/usr/bin/env bash
# The sensor log and the sensor plot of kalorix-test.exe with the scripted demo
# sensors and a fast sampling clock: a minute of logging in each format, read
# back by tests/tools/sensor_log_check.py against the test build's record of
# every row (KALORIX_SENSOR_LOG_ECHO); the log switched off from its Settings
# row; a sensor's plot opened by a click on its row and closed by Escape; and a
# folder that cannot be written stopping the log with its note on the row.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" sensor_log sensor_log
profile_save
check_script="$e2e_lib/../../tools/sensor_log_check.py"
local_kalorix="$(dirname "$roam")/../Local/Kalorix"
logs="$local_kalorix/Kayıtlar"
logs_backup=""
if [ -e "$logs" ]; then logs_backup="$tmp/logs-backup"; mv "$logs" "$logs_backup"; fi
restore_logs() {
    rm -rf "$logs"
    [ -n "$logs_backup" ] && [ -e "$logs_backup" ] && mv "$logs_backup" "$logs"
    return 0
}
trap 'restore_logs; e2e_cleanup' EXIT

log_profile() {  # format
    answered_profile "  \"UpdateIntervalMs\": 500,
  \"MinimizeToTray\": false,
  \"TrayNotifications\": false,
  \"SensorLogEnabled\": true,
  \"SensorLogFormat\": \"$1\",
  \"SensorLogIntervalS\": 5,
  \"SensorLogDays\": 7,
"
}
echo_rows() { [ -f "$1" ] && wc -l < "$1" || echo 0; }
rows_at_least() { [ "$(echo_rows "$1")" -ge "$2" ]; }
wait_echo_rows() { wait_for "$3" rows_at_least "$1" "$2"; }  # file count seconds
# Settings page (by its sidebar entry), a page further down at a time, each
# step seen in the report, until the sensor log's switch is on screen. Page
# Down needs the keyboard focus; a wheel notch stands in when it did not move.
changed_from() { wait_for "$3" differs "$1" "$2"; }  # KEY OLD SECONDS
differs() { [ "$(rv "$1")" != "$2" ]; }
show_log_row() {
    act nav/settings page 4 || return 1
    park_pointer
    local i before bottom
    for i in $(seq 1 12); do
        win_xywh
        bottom=$(region set/sensorlog | awk '{print $2 + $4}')
        [ -n "$bottom" ] && [ "$bottom" -lt $((WH - 40)) ] && break
        before=$(rv scroll)
        xdotool key Next
        changed_from scroll "$before" 3 && continue
        xdotool mousemove --sync $((WX + WW / 2)) $((WY + WH / 2)) click 5 2>/dev/null
        changed_from scroll "$before" 3
        park_pointer
    done
    wait_frames 1 5
    has_region set/sensorlog
}
switch_log_off() {
    show_log_row || { fail "the sensor log's switch is not on the Settings page"; return 1; }
    act set/sensorlog sensorlog off 15 || { fail "the switch did not stop the sensor log ($(rv sensorlog))"; return 1; }
}

# ---- a minute of logging, Excel (Türkçe) ------------------------------------------------
log_profile tr
KALORIX_FAKE_SENSORS=demo KALORIX_FAKE_CLOCK=12 KALORIX_SENSOR_LOG_ECHO="Z:${tmp//\//\\}\\tr.echo" start_app tr
wait_window 60 || die "no Kalorix window with live data within 60 s"
# 60 s of the sampling clock at one row per 5 s: 13 rows.
wait_echo_rows "$tmp/tr.echo" 13 60 || die "the sensor log wrote $(echo_rows "$tmp/tr.echo") rows within 60 s"
switch_log_off
park_pointer; wait_frames 1 5
shoot 01-settings-log-off >/dev/null
stop_app
check "Excel (Türkçe) file read back exactly" python3 "$check_script" tr "$logs" "$tmp/tr.echo"
ls "$logs" | grep -q '^Kalorix-sensorler-[0-9]\{4\}-[0-9]\{2\}-[0-9]\{2\}\.csv$' || fail "no daily file name in $(ls "$logs")"

# ---- Standart CSV, and half an hour for the plot -----------------------------------------
rm -rf "$logs"
log_profile standard
KALORIX_FAKE_SENSORS=demo KALORIX_FAKE_CLOCK=100 KALORIX_SENSOR_LOG_ECHO="Z:${tmp//\//\\}\\standard.echo" \
    start_app standard
wait_window 60 || die "no Kalorix window with live data within 60 s"
keys_until ctrl+2 page 1 || die "Ctrl+2 did not select the Sensors page"
act sensors/filter/1 filter 1 || fail "the temperature filter did not take"
act row/gpu/0000_0001b2c4/temp plot gpu/0000_0001b2c4/temp || fail "a click on the GPU temperature row opened no plot"
# Half an hour of the sampling clock (a row every 5 s) fills the plot.
wait_echo_rows "$tmp/standard.echo" 361 120 || fail "only $(echo_rows "$tmp/standard.echo") rows within 120 s"
park_pointer; wait_frames 2 10
shoot 02-sensor-plot >/dev/null
keys_until Escape plot - || fail "Escape did not close the plot"
act row/gpu/0000_0001b2c4/temp plot gpu/0000_0001b2c4/temp || fail "the plot did not open again"
act row/gpu/0000_0001b2c4/temp plot - || fail "a second click did not close the plot"
switch_log_off
stop_app
check "Standart CSV file read back exactly" python3 "$check_script" standard "$logs" "$tmp/standard.echo"

# ---- a folder that cannot be written -------------------------------------------------------
rm -rf "$logs"; mkdir -p "$local_kalorix"; echo "not a folder" > "$logs"
log_profile tr
KALORIX_FAKE_SENSORS=demo KALORIX_FAKE_CLOCK=12 start_app broken
wait_window 60 || die "no Kalorix window with live data within 60 s"
wait_rv sensorlog error 30 || fail "a folder that cannot be made did not stop the log ($(rv sensorlog))"
show_log_row && { park_pointer; wait_frames 1 5; shoot 03-settings-log-error >/dev/null; }
check "no action id registered twice" [ "$(rv duplicates)" = 0 ]
stop_app

e2e_finish
