#!/bin/sh
# Starts (start) or stops (stop) the Wine session the Windows tests share:
#   wine_session.sh start|stop WINE WINESERVER
# WINEPREFIX and the rest of Wine's environment come from the caller.
# Everything Wine starts here writes to /dev/null, so its background processes,
# which outlive this script, hold none of CTest's pipes.
set -eu
action=$1 wine=$2 wineserver=$3
case $action in
  start)
    mkdir -p "$WINEPREFIX"
    # A server already running for this prefix (an earlier run, a person's
    # session) is used as it is.
    "$wineserver" -p </dev/null >/dev/null 2>&1 || true
    # The first program makes the prefix and starts Wine's services; later ones
    # then start at once.
    "$wine" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
    ;;
  stop)
    "$wineserver" -k </dev/null >/dev/null 2>&1 || true
    ;;
  *)
    echo "usage: $0 start|stop WINE WINESERVER" >&2
    exit 2
    ;;
esac
