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
failures=0
check() {  # check DESCRIPTION TEXT PATTERN
  if grep -qF -- "$3" <<<"$2"; then log "ok: $1"; else
    log "FAILED: $1: no \"$3\" in:"; echo "$2" >&2; failures=$((failures + 1)); fi
}
check_absent() {
  if grep -qF -- "$3" <<<"$2"; then log "FAILED: $1"; echo "$2" >&2; failures=$((failures + 1)); else
    log "ok: $1"; fi
}

packages=(mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine64 wine xvfb xauth cmake ninja-build dpkg-dev autoconf automake libtool make googletest
  osslsigncode openssl fonts-wine)
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
sodium_prefix=$("$repo/scripts/build-libsodium-windows.sh" | tail -n 1)

# The service stand-in is a Linux program; the Windows programs reach it on
# loopback as they would reach the vendor's service.
log "building the service stand-in (Linux)"
"$repo/scripts/install-deps.sh"
linux_build="$repo/build/default"
# The Linux build's throw-away publisher key, made when it is configured:
# the Linux vendra-catalogue signs with it, the Windows installer is pinned
# to it.
publisher_key="$linux_build/throwaway-publisher-key/publisher.key"
[ -f "$linux_build/build.ninja" ] && [ -f "$publisher_key" ] || cmake --preset default -S "$repo" >/dev/null
cmake --build "$linux_build" --target vendra-service vendra-catalogue >/dev/null

log "configuring and building"
# The suites that talk to the service start the Linux build's program under
# Wine, as the Linux suites start it.
cmake --preset windows -S "$repo" -DVENDRA_CURL_MINGW_PREFIX="$curl_prefix" \
  -DVENDRA_SODIUM_MINGW_PREFIX="$sodium_prefix" \
  -DVENDRA_LINUX_SERVICE="$linux_build/service/vendra-service" \
  -DVENDRA_PINNED_PUBLISHER_KEY="$linux_build/throwaway-publisher-key/publisher.pub" \
  -DVENDRA_TEST_PUBLISHER_KEY="$publisher_key" >/dev/null
cmake --build "$build" -j2

# The programs as released: stripped, debug information beside them, signed.
# The runs below use these, so what ships is what is tried.
release="$build/release"
log "making the release programs"
"$repo/scripts/windows-release.sh" "$build" "$release"

# What ships is built optimised for size, and each stripped program must stay
# under 2 MB: the release preset, pinned to the same key, is built and its
# sizes checked here.
log "building the release preset and checking the programs' sizes"
shipped_sizes="$repo/build/windows-release/release/sizes.txt"
if ! VENDRA_PINNED_PUBLISHER_KEY="$linux_build/throwaway-publisher-key/publisher.pub" \
    "$repo/scripts/windows-release.sh" >"$build/release-preset.log" 2>&1; then
  log "FAILED: the release preset's programs (scripts/windows-release.sh):"
  tail -n 20 "$build/release-preset.log" >&2
  failures=$((failures + 1))
fi

# A fresh prefix for every run, so no state survives from an earlier one.
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/vendra-wine.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
service_root=$(mktemp -d /tmp/vendra-service.XXXXXX)
display_file=$(mktemp /tmp/vendra-display.XXXXXX)
service_pid=""
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX" "$service_root" "$display_file"
  [ -n "${install_dir:-}" ] && rm -rf "$install_dir"
  [ -n "${product_dir:-}" ] && rm -rf "$product_dir"
}
trap cleanup EXIT
# One X server for the whole run: Wine's desktop process stays bound to the
# display it first met, so a display that goes away between programs breaks
# the windows of the next one.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY
DISPLAY=":$(cat "$display_file")"
[ "$DISPLAY" != ":" ] || { log "Xvfb did not start"; exit 1; }
log "booting a fresh Wine prefix"
wineboot -i >/dev/null 2>&1
wineserver -w
# Every program runs in a Wine virtual desktop, as on a Windows screen: Wine
# then draws the windows' title bars and frames itself (Xvfb has no window
# manager to do it), and the screenshots show them.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1280x1024 /f \
  >/dev/null 2>&1
# Wine draws the title bars' buttons with the Marlett symbol font, which
# Debian packages apart (fonts-wine) in a folder this Wine does not read.
# Only that font joins the prefix: the dialogs keep the system's fallback face.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
wineserver -w

# The service over HTTPS with a throw-away CA that VENDRA_CA_FILE makes
# trusted, and scripted faults. The Windows transport
# matches the certificate by host name, so the address names localhost. The
# catalogue holds the Windows package manager as the "vendrabuild" utility.
# One account for the installer.
tls="$service_root/tls"
"$repo/scripts/make-certificates.sh" "$tls"
service="$linux_build/service/vendra-service"
"$service" add-user --root "$service_root" --user tester --password "wine pw" >/dev/null
# The build, its build list and the package manager's manifest are signed
# with the throw-away publisher key the installer is pinned to; the package
# manager's configuration pins it too and names the build list of "tdy".
catalogue="$linux_build/packagemanager/vendra-catalogue"
public_key=$(openssl pkey -in "$publisher_key" -pubout -outform DER | tail -c 32 | base64)
printf '{"publisher_keys": ["%s"], "build_lists": {"tdy": "TDY-UPLINK"}}\n' "$public_key" \
  > "$service_root/vendrabuild-config.json"
"$repo/scripts/demo-product.sh" "$service_root/product" 1.2.3
"$catalogue" publish --key "$publisher_key" --root "$service_root" --product tdy \
  --branch live --version 1.2.3 --build-list TDY-UPLINK "$service_root/product" >/dev/null
"$catalogue" utility --key "$publisher_key" --root "$service_root" "$release/VendraBuild.exe" \
  >/dev/null
export VENDRA_BUILD_CONFIG
VENDRA_BUILD_CONFIG=$(winepath -w "$service_root/vendrabuild-config.json" 2>/dev/null | tr -d '\r')
"$service" serve --root "$service_root" --listen 127.0.0.1:0 --faults \
  --tls-cert "$tls/server.pem" --tls-key "$tls/server.key" >"$service_root/service.out" 2>&1 &
service_pid=$!
for _ in $(seq 100); do grep -q '^listening ' "$service_root/service.out" && break; sleep 0.1; done
export VENDRA_SERVICE_URL
VENDRA_SERVICE_URL=$(sed -n 's/^listening //p' "$service_root/service.out" | head -n 1)
[ -n "$VENDRA_SERVICE_URL" ] || { log "the service did not start"; cat "$service_root/service.out" >&2; exit 1; }
VENDRA_SERVICE_URL=${VENDRA_SERVICE_URL/127.0.0.1/localhost}
export VENDRA_CA_FILE
VENDRA_CA_FILE=$(winepath -w "$tls/ca.pem" 2>/dev/null | tr -d '\r')
log "service: $VENDRA_SERVICE_URL"

# Every test program, one at a time; the Wine server settles between runs.
log "running the test programs under Wine"
(cd "$build" && ctest --output-on-failure -j1 --timeout 300) || failures=$((failures + 1))

# The release programs pass the client's own signature check; the installer
# changed after signing is refused for its digest.
log "checking the release programs' signatures"
probe="$build/tests/install/signature_probe.exe"
signatures=$(cd "$release" && wine "$probe" TandoryInstaller.exe VendraBuild.exe \
  VendraCrashMobile.exe 2>/dev/null | tr -d '\r') || true
for name in TandoryInstaller VendraBuild VendraCrashMobile; do
  check "signed release program $name.exe" "$signatures" "$name.exe: 0 "
done
altered=$(cd "$release/altered" && wine "$probe" TandoryInstaller.exe 2>/dev/null | tr -d '\r') || true
check "installer altered after signing is refused" "$altered" \
  "TandoryInstaller.exe: -1 Error code 0x80096010"

# The installer in an empty folder: it writes its uninstall entry and, with
# no stored session, opens the Login window; the helper cancels it, then reads
# and closes the sign-in failure box.
log "running TandoryInstaller.exe"
install_dir=$(mktemp -d /tmp/vendra-install.XXXXXX)
cp "$release/TandoryInstaller.exe" "$install_dir/"
helper="$build/tests/platform/platform_win32_helper.exe"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tandory'
# A value some earlier program left behind, which the entry must remove.
wine reg add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 9.9 /f /reg:32 >/dev/null 2>&1
wineserver -w
box=$(cd "$install_dir" && timeout 300 sh -c '
  wine ./TandoryInstaller.exe & installer=$!
  wine "$0" cancel-window "Vendra Software" 90; cancelled=$?
  wine "$0" close-box "Tandory Installer failed" 60; closed=$?
  wait $installer; echo "exit=$? cancelled=$cancelled closed=$closed"' "$helper" 2>/dev/null | tr -d '\r') || true
wineserver -w
entry=$(wine reg query "$uninstall_key" /reg:32 2>/dev/null | tr -d '\r') || true

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

# The installer signing in for real: the Login window filled and confirmed,
# the device window's e-mail button pressed, the code read from the
# service's outbox and confirmed; then the package manager is downloaded and
# takes over, and the product lands in the folder.
log "running TandoryInstaller.exe against the service"
product_dir=$(mktemp -d /tmp/vendra-product.XXXXXX)
cp "$release/TandoryInstaller.exe" "$product_dir/"
run=$(cd "$product_dir" && timeout 300 sh -c '
  wine ./TandoryInstaller.exe & installer=$!
  wine "$0" fill-window "Vendra Software" 90 1 1001 tester 1002 "wine pw"; echo "login=$?"
  wine "$0" fill-window "Vendra Software - New Device Authorization" 90 1003; echo "email=$?"
  wine "$0" close-box "Success: New Device Authorization e-mail sent!" 60 >/dev/null; echo "sent=$?"
  code=$(sed -n "s/^code: //p" "$1"/outbox/*.txt | tail -n 1)
  wine "$0" fill-window "Vendra Software - New Device Authorization" 30 1 1001 "$code"; echo "device=$?"
  wait $installer; echo "exit=$?"' "$helper" "$service_root" 2>/dev/null | tr -d '\r') || true
for _ in $(seq 120); do [ -f "$product_dir/VendraBuild.install.json" ] && break; sleep 1; done
wineserver -w
requests=$(cat "$service_root/requests.log")
login=$(grep '"path":"vclient/login"' <<<"$requests" | grep '"username":"tester"' || true)
authorisation=$(grep '"path":"vclient/deviceauth"' <<<"$requests" | grep -v '"Wine download test"' || true)
record=$(cat "$product_dir/VendraBuild.install.json" 2>/dev/null || true)
for step in login email sent device exit; do
  check "installer run: $step" "$run" "$step=0"
done
check "the Login window's sign-in reached the service" "$login" '"status":200'
check "the sign-in sent the challenge answer" "$login" '"key":'
check_absent "no password reached the service" "$requests" "password_received"
check_absent "the password is nowhere in the request log" "$requests" "wine pw"
check "the device was authorised with the e-mailed code" "$authorisation" '"status":200'
check "the package manager was downloaded" "$requests" '"utility":"vendrabuild"'
check "the package manager installed the live build" "$record" '"version":"1.2.3"'
check "the product's program is in place" "$(ls "$product_dir")" "Tandory.exe"
check "the product's data is in place" "$(ls "$product_dir/data" 2>/dev/null)" "assets.bin"
# What VendraBuild tells of the machine afterwards: the entry the installer
# wrote, with the version in its folder, complete.
listing=$(wine "$release/VendraBuild.exe" --json list 2>/dev/null | tr -d '\r') || true
check "list names the installer's entry" "$listing" '"key":"Tandory","name":"Tandory"'
check "list tells the version and that it is complete" "$listing" \
  '"state":"complete","product":"tdy","branch":"live","version":"1.2.3"'

# A crash reported end to end: the crashing program's Crash Report window is
# filled in and confirmed, the real crash reporter in the data folder takes
# the report through its window and posts it with the session the installer
# stored above.
log "reporting a crash through VendraCrashMobile.exe"
utils_dir="$WINEPREFIX/drive_c/ProgramData/Vendra Software/utils"
mkdir -p "$utils_dir"
cp "$release/VendraCrashMobile.exe" "$utils_dir/"
crash=$(timeout 300 sh -c '
  wine "$1" & program=$!
  wine "$0" fill-window "Vendra Software Crash Reporter" 90 1 1007 "It crashed under Wine"
  echo "window=$?"
  wait $program; echo "exit=$?"' "$helper" "$build/tests/crash/crashing_program.exe" \
  2>/dev/null | tr -d '\r') || true
for _ in $(seq 90); do grep -q '"path":"vclient/crashreport"' "$service_root/requests.log" && break; sleep 1; done
wineserver -w
report=$(grep '"path":"vclient/crashreport"' "$service_root/requests.log" || true)
check "crash report window confirmed" "$crash" "window=0"
check "crashing program handed the report over" "$crash" "exit=0"
check "the crash reporter posted the report" "$report" '"status":200'
stored=$(cat "$service_root"/crashreports/*.json 2>/dev/null || true)
check "the stored report holds the crash" "$stored" "Wine crash test"
check "the stored report holds what the person wrote" "$stored" "It crashed under Wine"
check "the stored report names the account" "$stored" '"username": "tester"'

log "screenshots of the windows: $build/screenshots"
log "test build's programs (stripped and signed, the ones run above):"
cat "$release/sizes.txt" >&2
log "release preset's programs (optimised for size; each under 2 MB):"
cat "$shipped_sizes" >&2 2>/dev/null || true
minutes=$(awk "BEGIN { printf \"%.1f\", ($(date +%s) - $start) / 60 }")
log "finished in $minutes minutes with $failures failing part(s)"
[ "$failures" -eq 0 ]
