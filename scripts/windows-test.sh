#!/usr/bin/env bash
# The Windows build and its tests: cross-compiles the installer and the test
# programs with mingw-w64 and runs them under Wine, in a fresh Wine prefix.
# Installs what it needs when missing (Debian 12, non-interactive).
# Exits non-zero on any failure; prints how many minutes it took.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build/windows"
start=$(date +%s)
sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

log() { echo "windows-test: $*" >&2; }

packages=(mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine64 wine xvfb xauth cmake ninja-build dpkg-dev autoconf automake libtool make googletest
  osslsigncode openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

curl_prefix=$("$repo/scripts/build-curl-windows.sh" | tail -n 1)

log "configuring and building"
cmake --preset windows -S "$repo" -DVENDRA_CURL_MINGW_PREFIX="$curl_prefix" >/dev/null
cmake --build "$build" -j2

# A fresh prefix for every run, so no state survives from an earlier one.
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/vendra-wine.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  [ -n "${install_dir:-}" ] && rm -rf "$install_dir"
}
trap cleanup EXIT
log "booting a fresh Wine prefix"
wineboot -i >/dev/null 2>&1
wineserver -w

failures=0

# Every test program, one at a time; the Wine server settles between runs.
log "running the test programs under Wine"
(cd "$build" && ctest --output-on-failure -j1 --timeout 300) || failures=$((failures + 1))

# The installer in an empty folder: it writes its uninstall entry and, with
# no stored session, opens the Login window; the helper cancels it, then reads
# and closes the sign-in failure box.
log "running TandoryInstaller.exe"
install_dir=$(mktemp -d /tmp/vendra-install.XXXXXX)
cp "$build/installer/TandoryInstaller.exe" "$install_dir/"
helper="$build/tests/platform/platform_win32_helper.exe"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tandory'
# A value some earlier program left behind, which the entry must remove.
wine reg add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 9.9 /f /reg:32 >/dev/null 2>&1
wineserver -w
box=$(cd "$install_dir" && timeout 300 xvfb-run -a sh -c '
  wine ./TandoryInstaller.exe & installer=$!
  wine "$0" cancel-window "Vendra Software" 90; cancelled=$?
  wine "$0" close-box "Tandory Installer failed" 60; closed=$?
  wait $installer; echo "exit=$? cancelled=$cancelled closed=$closed"' "$helper" 2>/dev/null | tr -d '\r') || true
wineserver -w
entry=$(wine reg query "$uninstall_key" /reg:32 2>/dev/null | tr -d '\r') || true

check() {  # check DESCRIPTION TEXT PATTERN
  if grep -qF -- "$3" <<<"$2"; then log "ok: $1"; else
    log "FAILED: $1: no \"$3\" in:"; echo "$2" >&2; failures=$((failures + 1)); fi
}
check_absent() {
  if grep -qF -- "$3" <<<"$2"; then log "FAILED: $1"; echo "$2" >&2; failures=$((failures + 1)); else
    log "ok: $1"; fi
}
win_dir=$(winepath -w "$install_dir" 2>/dev/null | tr -d '\r') || true
utility='C:\ProgramData\Vendra Software\utils\VendraBuild.exe'
check "installer exit code 0 after the box was closed" "$box" "exit=0 cancelled=0 closed=0"
check "sign-in failure box" "$box" "Vendra Software Login failed"
check "error code line" "$box" "Error Code -109"
check "cancel reason" "$box" "User clicked Cancel in Login window"
if [ "$(sed -n 1p <<<"$box")" = "Vendra Software Login failed" ] && [ -z "$(sed -n 2p <<<"$box")" ] &&
  [ "$(sed -n 3p <<<"$box")" = "Error Code -109" ]; then log "ok: heading, empty line, error code"; else
  log "FAILED: heading, empty line, error code in:"; echo "$box" >&2; failures=$((failures + 1)); fi
check "entry: display name" "$entry" "DisplayName    REG_SZ    Tandory"
check "entry: install location" "$entry" "InstallLocation    REG_SZ    $win_dir"
check "entry: display icon" "$entry" "DisplayIcon    REG_SZ    $win_dir\\Tandory.exe"
check "entry: uninstall command" "$entry" "UninstallString    REG_SZ    \"$utility\" uninstall tandory \"$win_dir\""
check "entry: modify command" "$entry" "ModifyPath    REG_SZ    \"$utility\" modify tandory \"$win_dir\""
check "entry: publisher" "$entry" "Publisher    REG_SZ    Vendra Software, LLC"
check "entry: estimated size" "$entry" "EstimatedSize    REG_DWORD    0x"
check "entry: no modify" "$entry" "NoModify    REG_DWORD    0x0"
check_absent "entry: old display version removed" "$entry" "DisplayVersion"

minutes=$(awk "BEGIN { printf \"%.1f\", ($(date +%s) - $start) / 60 }")
log "finished in $minutes minutes with $failures failing part(s)"
[ "$failures" -eq 0 ]
