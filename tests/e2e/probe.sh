#!/usr/bin/env bash
# --probe under Wine: the product executable runs the real engine with the real
# providers even when the test build's variables are set; the test build obeys
# them. Three cycles each, a printed snapshot, no unimplemented Wine function.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" probe probe
product="$3"

probe() {  # exe name
    KALORIX_FAKE_SENSORS=demo KALORIX_FAKE_CLOCK=20 "$run" "$1" --probe > "$out/$2.txt" 2> "$out/$2.err"
    local rc=$?
    grep -q "Unimplemented function" "$out/$2.err" && fail "$2: an unimplemented Wine function was called"
    [ $rc -eq 0 ] || fail "$2: exit code $rc"
    grep -q "Geçerli: evet" "$out/$2.txt" || fail "$2: no valid snapshot"
}

probe "$product" product
cat "$out/product.txt"
# The demo machine's disk would be listed if the scripted sensors had been used.
grep -q "Samsung SSD 980 PRO" "$out/product.txt" && fail "kalorix.exe obeyed KALORIX_FAKE_SENSORS" \
    || note "kalorix.exe ignores KALORIX_FAKE_SENSORS: real providers"

probe "$exe" test-build
grep -q "Samsung SSD 980 PRO" "$out/test-build.txt" && note "kalorix-test.exe uses the scripted sensors" \
    || fail "kalorix-test.exe did not use the scripted sensors"

e2e_finish
