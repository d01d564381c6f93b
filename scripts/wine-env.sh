# Sourced by the scripts: a throwaway Wine prefix and a private Xvfb display.
# wine_env_start [prefix-dir]  sets WINEPREFIX, DISPLAY and a cleanup trap.
wine_env_start() {
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ -n "${1:-}" ]; then
    export WINEPREFIX="$1"; KALORIX_OWN_PREFIX=""
  else
    KALORIX_TMP=$(mktemp -d /tmp/kalorix-wine.XXXXXX)
    export WINEPREFIX="$KALORIX_TMP/prefix"; KALORIX_OWN_PREFIX=1
  fi
  local d
  for d in $(seq 91 140); do
    [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ] && continue
    Xvfb ":$d" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    KALORIX_XVFB_PID=$!
    sleep 0.5
    if kill -0 "$KALORIX_XVFB_PID" 2>/dev/null; then export DISPLAY=":$d"; break; fi
  done
  [ -n "${DISPLAY:-}" ] || { echo "no free X display" >&2; return 1; }
  trap wine_env_stop EXIT
  timeout 180 wineboot -i >/dev/null 2>&1 || true
  timeout 60 wineserver -w || true
}
wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then timeout 20 wineserver -k >/dev/null 2>&1 || true; fi
  [ -n "${KALORIX_XVFB_PID:-}" ] && kill "$KALORIX_XVFB_PID" 2>/dev/null || true
  [ -n "${KALORIX_OWN_PREFIX:-}" ] && [ -n "${KALORIX_TMP:-}" ] && rm -rf "$KALORIX_TMP"
  return 0
}
