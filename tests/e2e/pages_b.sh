#!/usr/bin/env bash
# The Tests page of kalorix.exe under Wine + Xvfb with scripted sensors:
# idle, while the CPU test runs (started by a click on its button), after it,
# with a seeded history (report card and all four results) at 1180 x 780 and
# at the 980 x 640 minimum, and the report image saved from the header button.
# Screenshots land in $KALORIX_ARTIFACTS (or BUILD/artifacts).
set -u
exe="$1"; build="$2"
here="$(cd "$(dirname "$0")" && pwd)"
out="${KALORIX_ARTIFACTS:-$build/artifacts}"; mkdir -p "$out"
run="$here/../../scripts/wine-run"
tmp=$(mktemp -d /tmp/kalorix-pages-b.XXXXXX)
app=""

fail() { echo "FAIL: $*"; exit 1; }

users="$WINEPREFIX/drive_c/users"
user=$(ls "$users" 2>/dev/null | grep -vi '^public$' | head -1)
[ -n "$user" ] || fail "no user folder in the prefix"
roam="$users/$user/AppData/Roaming/Kalorix"
# Wine links the prefix's Pictures folder to the Linux home; the image must stay
# inside this throwaway prefix.
pictures="$users/$user/Pictures"
# Whatever this script changes in the profile is put back at the end, so that
# the other checks of this prefix find it as it was.
pictures_link=$(readlink "$pictures" 2>/dev/null)
[ -d "$roam" ] && cp -a "$roam" "$tmp/roaming-backup"
cleanup() {
  [ -n "$app" ] && stop_app
  rm -rf "$roam"
  [ -d "$tmp/roaming-backup" ] && cp -a "$tmp/roaming-backup" "$roam"
  if [ -n "$pictures_link" ]; then rm -rf "$pictures"; ln -s "$pictures_link" "$pictures"; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
if [ -L "$pictures" ] || [ ! -d "$pictures" ]; then rm -f "$pictures"; mkdir -p "$pictures"; fi
mkdir -p "$roam"
printf '{\n  "WarningTemp": 100,\n  "MinimizeToTray": false,\n  "FirstTestOffered": true\n}\n' > "$roam/settings.json"
rm -f "$roam/history.txt"

# start_app SCENARIO: "idle" for the test run (the hot "demo" machine trips the
# thermal safety stop within seconds), "demo" for everything else.
start_app() {
  KALORIX_FAKE_SENSORS="$1" KALORIX_FAKE_CLOCK=30 KALORIX_BENCH_TIME_SCALE=0.25 KALORIX_WINE_TIMEOUT=240 \
    "$run" "$exe" >> "$tmp/app.out" 2>> "$tmp/app.err" &
  app=$!
  wid=""
  for _ in $(seq 1 60); do
    wid=$(xdotool search --name '^Kalorix$' 2>/dev/null | head -1)
    [ -n "$wid" ] && break
    sleep 1
  done
  [ -n "$wid" ] || fail "no Kalorix window"
  sleep 4  # first snapshots
  geometry
}

stop_app() {
  kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; app=""
  for _ in $(seq 1 20); do
    xdotool search --name '^Kalorix$' >/dev/null 2>&1 || break
    sleep 0.5
  done
}

geometry() {
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  WX=$X; WY=$Y; WW=$WIDTH; WH=$HEIGHT
}

# shot NAME: the window's area of the virtual screen as $out/NAME.png
shot() {
  geometry
  import -window root "$tmp/root.png"
  convert "$tmp/root.png" -crop "${WW}x${WH}+${WX}+${WY}" +repage "$out/$1.png"
  convert "$out/$1.png" -depth 8 ppm:"$tmp/$1.ppm"
}

# An analysis of a screenshot (PPM) by the helper below.
look() { python3 "$tmp/look.py" "$@"; }
cat > "$tmp/look.py" <<'EOF'
import sys
def load(path):
    data = open(path, 'rb').read()
    parts, pos = [], 0
    while len(parts) < 4:
        while data[pos:pos+1].isspace(): pos += 1
        start = pos
        while not data[pos:pos+1].isspace(): pos += 1
        parts.append(data[start:pos])
    pos += 1
    w, h = int(parts[1]), int(parts[2])
    return w, h, data[pos:]
def px(img, x, y):
    w, h, d = img
    i = (y * w + x) * 3
    return d[i], d[i+1], d[i+2]
def near(p, rgb, tol=6):
    return all(abs(p[k] - ((rgb >> (16 - 8 * k)) & 255)) <= tol for k in range(3))
ACCENT = 0x5B8CFF
HOVER = 0x6C98FF
def primary(p):
    return near(p, ACCENT) or near(p, HOVER)
def buttons(img):
    """Primary (accent) buttons in the content area: (left, top, right, bottom)."""
    w, h, _ = img
    found = []
    for y in range(40, h, 2):
        x = 262
        while x < w - 10:
            if primary(px(img, x, y)):
                s = x
                while x < w and primary(px(img, x, y)): x += 1
                if x - s >= 100 and not any(b[0] - 4 <= s <= b[2] and b[1] <= y <= b[3] + 2 for b in found):
                    top = y
                    while top > 0 and primary(px(img, s + 3, top - 1)): top -= 1
                    bottom = y
                    while bottom < h - 1 and primary(px(img, s + 3, bottom + 1)): bottom += 1
                    found.append([s, top, x - 1, bottom])
            x += 1
    return [b for b in found if b[3] - b[1] >= 20]
cmd, path = sys.argv[1], sys.argv[2]
img = load(path)
w, h, _ = img
if cmd == 'buttons':
    for b in buttons(img): print(*b)
elif cmd == 'count':  # count pixels near a colour: count FILE RRGGBB
    rgb = int(sys.argv[3], 16)
    print(sum(1 for y in range(0, h, 2) for x in range(232, w, 2) if near(px(img, x, y), rgb, 10)))
elif cmd == 'distinct':  # distinct colours in the content area
    print(len({px(img, x, y) for y in range(36, h, 3) for x in range(232, w, 3)}))
elif cmd == 'primary':  # primary FILE X Y -> 1 when the pixel is a primary button's
    print(1 if primary(px(img, int(sys.argv[3]), int(sys.argv[4]))) else 0)
EOF

# ---- 1. Idle, no results yet --------------------------------------------------
start_app idle
xdotool key --window "$wid" ctrl+4; sleep 1.5
xdotool mousemove $((WX + 100)) $((WY + WH - 150)); sleep 0.5
shot tests-idle
[ "$(look distinct "$tmp/tests-idle.ppm")" -gt 40 ] || fail "idle page looks blank"
mapfile -t idle < <(look buttons "$tmp/tests-idle.ppm")
[ "${#idle[@]}" -ge 2 ] || fail "expected the start buttons of the first card row, found ${#idle[@]}"
read -r bl bt br bb <<< "${idle[0]}"   # topmost-leftmost: the CPU card
cx=$(( (bl + br) / 2 )); cy=$(( (bt + bb) / 2 )); px=$((bl + 4))  # px: plain accent, no label
echo "CPU start button at $cx,$cy (window), $((br - bl + 1)) x $((bb - bt + 1))"

# ---- 2. The CPU test runs ------------------------------------------------------------
press() { xdotool mousemove "$1" "$2"; sleep 0.3; xdotool mousedown 1; sleep 0.15; xdotool mouseup 1; sleep 0.2; }
# A first click on an empty part of the sidebar activates the window; Wine
# without a window manager may swallow the click that activates it, so the
# button is pressed again while its card still offers a start.
press $((WX + 100)) $((WY + WH - 150))
# Starting the child can hold the window for a few seconds under load, so each
# press waits for the card to change before the next one.
started=""
for _ in 1 2 3; do
  press $((WX + cx)) $((WY + cy))
  xdotool mousemove $((WX + 100)) $((WY + WH - 150))
  for _ in $(seq 1 12); do
    sleep 0.8
    shot tests-running
    [ "$(look primary "$tmp/tests-running.ppm" "$px" "$cy")" = 0 ] && { started=1; break 2; }
  done
done
[ -n "$started" ] || fail "the CPU card still shows its start button"
mapfile -t busy < <(look buttons "$tmp/tests-running.ppm")
[ "${#busy[@]}" -le $(( ${#idle[@]} - 2 )) ] || fail "other cards still offer a start while the CPU test runs"

# ---- 3. After the run: the CPU card shows its result ------------------------------------
done_run=""
for _ in $(seq 1 60); do
  grep -q $'^B\tcpu\t' "$roam/history.txt" 2>/dev/null && { done_run=1; break; }
  sleep 2
done
[ -n "$done_run" ] || fail "the CPU test left no record in history.txt"
sleep 1.5
shot tests-after-cpu
[ "$(look primary "$tmp/tests-after-cpu.ppm" "$px" "$cy")" = 1 ] || fail "no 'Yeniden test et' button after the run"
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
start_app demo
xdotool key --window "$wid" ctrl+4; sleep 1.5
xdotool mousemove $((WX + 100)) $((WY + WH - 150)); sleep 0.5
shot tests-results-top
[ "$(look count "$tmp/tests-results-top.ppm" 3DD68C)" -gt 40 ] || fail "no green grade on the report card"

scroll_down() {
  xdotool mousemove $((WX + WW / 2)) $((WY + WH / 2))
  for _ in $(seq 1 "$1"); do xdotool click 5; sleep 0.05; done
  xdotool mousemove $((WX + 100)) $((WY + WH - 150)); sleep 1
}
scroll_down 9; shot tests-results-middle
scroll_down 30; shot tests-results-bottom
[ "$(look distinct "$tmp/tests-results-bottom.ppm")" -gt 40 ] || fail "bottom of the page looks blank"
mapfile -t again < <(look buttons "$tmp/tests-results-bottom.ppm")
[ "${#again[@]}" -ge 2 ] || fail "the result cards offer no 'Yeniden test et' button"

# ---- 5. The minimum window size -----------------------------------------------------------
xdotool windowsize "$wid" 980 640; sleep 2
geometry
echo "window now ${WW}x${WH}"
[ "$WW" -le 1000 ] || fail "window did not shrink"
scroll_down 0
for _ in $(seq 1 40); do xdotool click 4; sleep 0.03; done; sleep 1
xdotool mousemove $((WX + 100)) $((WY + WH - 150)); sleep 0.5
shot tests-min-top
scroll_down 7; shot tests-min-middle
scroll_down 9; shot tests-min-cards
scroll_down 30; shot tests-min-bottom

# ---- 6. The report image from the header button ---------------------------------------------
for _ in $(seq 1 60); do xdotool mousemove $((WX + WW / 2)) $((WY + WH / 2)) click 4; sleep 0.02; done; sleep 1
saved=""
for _ in 1 2 3; do
  press $((WX + WW - 111)) $((WY + 63))
  shot tests-saved-toast  # before the file window the export opens covers the page
  for _ in $(seq 1 10); do
    saved=$(find "$pictures/Kalorix" -name 'Kalorix-rapor-*.png' 2>/dev/null | head -1)
    [ -n "$saved" ] && break 2
    sleep 0.5
  done
done
[ -n "$saved" ] || fail "no report image in Pictures\\Kalorix"
case "$(basename "$saved")" in
  Kalorix-rapor-[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]-[0-9][0-9][0-9][0-9][0-9][0-9].png) ;;
  *) fail "unexpected file name $(basename "$saved")" ;;
esac
cp "$saved" "$out/report-image-from-window.png"
size=$(identify -format '%wx%h' "$saved")
[ "$size" = 1760x1120 ] || fail "report image is $size"

# The export opened a file window on the saved image ("explorer /select,…"):
# close that process again so that later checks see only their own windows.
revealed=""
for _ in $(seq 1 30); do
  for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    [ "$w" = "$wid" ] && continue
    pid=$(xdotool getwindowpid "$w" 2>/dev/null) || continue
    if tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | grep -q 'explorer.exe /select,.*Kalorix-rapor-'; then
      revealed=1
      kill "$pid" 2>/dev/null
    fi
  done
  [ -n "$revealed" ] && break
  sleep 0.5
done
[ -n "${revealed:-}" ] || echo "note: no file window seen for the saved image"
stop_app
if grep -q "Unimplemented function" "$tmp/app.err"; then fail "unimplemented Wine function called"; fi
echo "pages_b ok"
