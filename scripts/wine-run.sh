#!/bin/sh
# Runs one Windows program under Wine (CTest's emulator for the Windows build)
# and waits for the Wine server to wind down, so that the next program starts
# in a settled prefix (a windowed program started too soon fails with 1400).
: "${WINEDEBUG:=-all}"
export WINEDEBUG
wine "$@"
rc=$?
wineserver -w
exit $rc
