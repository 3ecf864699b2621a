#!/bin/sh
# Runs one Windows test program under Wine for CTest: run_under_wine.sh WINE PROGRAM ARGS...
#
# The program's output reaches CTest through files, not through CTest's pipe: the first Wine
# program of a session starts Wine's helper processes (services, devices), which inherit the
# program's output handles and outlive it, and CTest would wait on the pipe until they exit.
# The wineserver is asked to stay up a minute after its last client, so that the next test
# process starts warm.
wine=$1
shift
: "${WINEDEBUG:=-all}"
export WINEDEBUG
"${WINESERVER:-wineserver}" -p60 </dev/null >/dev/null 2>&1 || true

scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
"$wine" "$@" </dev/null >"$scratch/out" 2>"$scratch/err"
status=$?
cat "$scratch/out"
cat "$scratch/err" >&2
exit $status
