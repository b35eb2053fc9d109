#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGS...]
#
# Runs a Windows program under Wine (Debian's wine64) in the Wine prefix PREFIX, which the
# Windows configuration keeps inside its build tree. The prefix is created on first use,
# once even when several tests start at the same moment (a lock beside it), and set up for
# runs without a display:
#   - no display server: DISPLAY is cleared and the prefix uses Wine's null graphics
#     driver, so windows and message boxes exist (a test can find, read and dismiss them)
#     but nothing is drawn and nothing waits for a screen;
#   - no downloads: the Mono and Gecko installers are switched off;
#   - quiet: Wine's own debug channels are off unless WINEDEBUG is set;
#   - warm: the Wine server of the prefix stays up for five minutes after its last program
#     ended (its standard streams detached, so no caller waits on them), so a test run pays
#     Wine's start-up once. "wine-run.sh PREFIX --stop" ends it.
# The exit code is the program's.
set -eu
prefix=$1
shift
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "wine-run.sh: wine64 is not installed" >&2; exit 127; }
server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=$(command -v wineserver)
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$prefix/.gavrelo-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/.gavrelo-ready" ]; then
      "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
      "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
      # The desktop process started by wineboot runs without the null driver: restart.
      "$server" -k || true
      "$server" -w || true
      touch "$prefix/.gavrelo-ready"
    fi
  ) 9>"$prefix.lock"
fi
if [ "${1:-}" = --stop ]; then
  # Ends the programs and the server; a server that outlives them is ended again.
  for attempt in 1 2 3; do
    "$server" -k 2>/dev/null || break
    timeout 10 "$server" -w 2>/dev/null && break
  done
  exit 0
fi
# Succeeds only when it starts a new server (it exits at once when one runs). The services
# of a new server start with its first program and inherit that program's standard
# streams for their whole life: a first program with detached streams keeps them from
# holding the caller's pipes open.
if "$server" -p300 </dev/null >/dev/null 2>&1; then
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
