# shellcheck shell=bash
# Sourced by the scripts that run the Windows build under Wine: Debian's
# wine64 loader, a prefix of our own kept in the cache, no Mono or Gecko
# prompts and no audio drivers (the intro finds no audio device and runs
# silently). wine_prefix_ready makes the prefix once; it needs a DISPLAY.
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
export WINEPREFIX=${TAPEHISS_WIN_CACHE:-$HOME/.cache/tapehiss-windows}/wineprefix
export WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv,wineoss.drv="

wine_prefix_ready() {
  [ -f "$WINEPREFIX/.tapehiss-ready" ] && return 0
  echo "creating the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  "$WINE" wineboot -i >"$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log" >&2; return 1; }
  "$WINESERVER" -w
  touch "$WINEPREFIX/.tapehiss-ready"
}
