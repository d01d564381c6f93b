#!/usr/bin/env bash
# The real engine with the real providers under Wine: three cycles, a printed
# snapshot, and no call into an unimplemented Wine function.
set -u
exe="$1"; build="$2"
out="${KALORIX_ARTIFACTS:-$build/artifacts}"; mkdir -p "$out"
"$(dirname "$0")/../../scripts/wine-run" "$exe" --probe > "$out/probe.txt" 2> "$out/probe.err"
rc=$?
cat "$out/probe.txt"
if grep -q "Unimplemented function" "$out/probe.err"; then echo "FAIL: unimplemented Wine function called"; grep "Unimplemented" "$out/probe.err"; exit 1; fi
[ $rc -eq 0 ] || { echo "FAIL: probe exit code $rc"; exit 1; }
grep -q "Geçerli: evet" "$out/probe.txt" || { echo "FAIL: no valid snapshot"; exit 1; }
grep -q "döngü" "$out/probe.txt" || { echo "FAIL: no header"; exit 1; }
echo "probe ok"
