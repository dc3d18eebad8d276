#!/usr/bin/env bash
# The client library as a developer of the vendor's other programs gets it:
#  - installed into a temporary prefix; every installed header compiles;
#  - examples/ built there as a project of its own, once with find_package
#    and once with pkg-config, and run against the service stand-in on
#    loopback: a sign-in, a stored session reused, a failure by result code;
#  - the Debian packages (cpack) installed with dpkg, VendraBuild and the
#    example run from the installed files, and the packages purged again
#    (as root only, and only when neither package was installed before);
#  - for Windows (when mingw-w64 and Wine are there): the SDK archive
#    build/windows-sdk/vendra-client-sdk-windows-x64.zip, and the example
#    built from it and run under Wine.
# Exits non-zero on any failure; prints how long it took.
#
#   scripts/sdk-test.sh [--keep]
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
keep=0
[ "${1:-}" = "--keep" ] && keep=1
start=$(date +%s)
log() { echo "sdk-test: $*" >&2; }
fail() { log "FAILED: $*"; exit 1; }

./scripts/install-deps.sh
build="$repo/build/default"
cmake --preset default >/dev/null
cmake --build "$build" -j2 >/dev/null

work="$(mktemp -d /tmp/vendra-sdk-XXXXXX)"
service_pid=""
installed_packages=()
cleanup() {
  if [ ${#installed_packages[@]} -gt 0 ]; then
    dpkg --purge "${installed_packages[@]}" >/dev/null 2>&1 || true
  fi
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi
  if [ "$keep" = 1 ]; then log "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

log "installing into a temporary prefix"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
# A header that needs one left out fails here, not in a caller's build.
(cd "$prefix/include/vendra" && find . -name '*.h' | sort | sed 's|^\./\(.*\)|#include "\1"|') \
  > "$work/every_header.cpp"
c++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I"$prefix/include/vendra" \
  "$work/every_header.cpp" || fail "the installed headers do not compile on their own"

# The example's own code builds without a warning; the library's sources,
# when they build in the example's project, with the warnings they choose.
build_example() {  # build_example FOLDER CMAKE_ARGUMENTS...
  cmake -S "$repo/examples" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release "${@:2}" >/dev/null
  cmake --build "$1" -j2 >/dev/null
}
strict=(-DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror")
log "building the example with find_package and with pkg-config"
build_example "$work/example" "${strict[@]}" -DCMAKE_PREFIX_PATH="$prefix"
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" build_example "$work/example-pc" "${strict[@]}" \
  -DVENDRA_EXAMPLE_PKG_CONFIG=ON
log "building the example with the library's sources in its own build"
build_example "$work/example-src" "${strict[@]}" -DVENDRA_CLIENT_SOURCE="$repo"
# Taken in that way, the library builds nothing else and needs nothing else.
for program in VendraBuild vendra-service TandoryInstaller; do
  [ -z "$(find "$work/example-src" -name "$program" -type f)" ] || fail "$program was built"
done
grep -q "SODIUM\|CPP_HTTPLIB\|GTest" "$work/example-src/CMakeCache.txt" &&
  fail "the library alone looked for the programs' or the tests' dependencies"

log "starting the service stand-in with a user and the catalogue"
./scripts/make-certificates.sh "$work"
service="$build/service/vendra-service"
"$service" add-user --root "$work/service" --user developer --password "sdk-password" >/dev/null
./scripts/make-catalogue.sh "$work/service" 2.5.0 "$build" >/dev/null
"$service" serve --root "$work/service" --listen 127.0.0.1:0 \
  --tls-cert "$work/server.pem" --tls-key "$work/server.key" > "$work/service.out" &
service_pid=$!
for _ in $(seq 1 100); do
  grep -q '^listening ' "$work/service.out" 2>/dev/null && break
  sleep 0.1
done
url="$(sed -n 's/^listening //p' "$work/service.out" | head -n1)"
[ -n "$url" ] || fail "the service did not start"
export VENDRA_SERVICE_URL="${url/127.0.0.1/localhost}" VENDRA_CA_FILE="$work/ca.pem"
export VENDRA_MACHINE_ROOT="$work/machine"
mkdir -p "$VENDRA_MACHINE_ROOT/etc"
od -An -N16 -tx1 /dev/urandom | tr -d ' \n' > "$VENDRA_MACHINE_ROOT/etc/machine-id"

# The person at the example: the password, then the e-mailed code.
answers() {
  echo "sdk-password"
  local code=""
  for _ in $(seq 1 300); do
    code="$(cat "$work"/service/outbox/*.txt 2>/dev/null | sed -n 's/^code: //p' | tail -n1)" || true
    [ -n "$code" ] && break
    sleep 0.1
  done
  echo "$code"
}
# expect_run DESCRIPTION EXIT_CODE PATTERN COMMAND... (standard input from the caller)
expect_run() {
  local status=0 output
  output="$("${@:4}" 2>&1)" || status=$?
  if [ "$status" != "$2" ] || ! grep -qF -- "$3" <<<"$output"; then
    echo "$output" >&2
    fail "$1: exit code $status (wanted $2), or no \"$3\""
  fi
  log "ok: $1"
}
# The same build as the catalogue's, file by file.
expect_download() {  # expect_download FOLDER
  [ -n "$(find "$1" -type f -name '*.z' 2>/dev/null)" ] || fail "nothing was downloaded into $1"
}

answers | expect_run "signing in and downloading the live build" 0 "downloaded tdy 2.5.0" \
  "$work/example/vendra-fetch" --user developer TDY-UPLINK tdy "$work/downloads"
expect_download "$work/downloads"
expect_run "the stored session is reused, without a window" 0 "live version of tdy: 2.5.0" \
  "$work/example-pc/vendra-fetch" TDY-UPLINK tdy "$work/downloads-pc" </dev/null
expect_download "$work/downloads-pc"
expect_run "the example built with the library's sources runs" 0 "downloaded tdy 2.5.0" \
  "$work/example-src/vendra-fetch" TDY-UPLINK tdy "$work/downloads-src" </dev/null
expect_run "a failure is told by its result code" 1 "reading the build list failed: ServiceError (-106)" \
  "$work/example/vendra-fetch" NO-SUCH-LIST tdy "$work/downloads-none" </dev/null

if [ "$(id -u)" = 0 ] && command -v dpkg >/dev/null; then
  log "making and trying the Debian packages"
  packages=(vendra-tools libvendra-client-dev)
  for package in "${packages[@]}"; do
    if dpkg -s "$package" >/dev/null 2>&1; then
      fail "$package is installed on this machine already; it is left alone"
    fi
  done
  rm -f "$build"/*.deb
  (cd "$build" && cpack -G DEB >/dev/null)
  installed_packages=("${packages[@]}")
  dpkg -i "$build"/vendra-tools_*.deb "$build"/libvendra-client-dev_*.deb >/dev/null
  expect_run "the packaged VendraBuild runs" 0 "VendraBuild 1.0" /usr/bin/VendraBuild --version
  build_example "$work/example-deb" "${strict[@]}"
  expect_run "the example built from the package runs" 0 "downloaded tdy 2.5.0" \
    "$work/example-deb/vendra-fetch" TDY-UPLINK tdy "$work/downloads-deb" </dev/null
  dpkg --purge "${packages[@]}" >/dev/null
  installed_packages=()
  for package in "${packages[@]}"; do
    ! dpkg -s "$package" >/dev/null 2>&1 || fail "$package is still known to dpkg"
  done
  [ ! -e /usr/bin/VendraBuild ] && [ ! -e /usr/lib/cmake/VendraClient ] ||
    fail "the packages left files behind"
  log "ok: the packages are removed again"
else
  log "skipped the Debian packages: they are tried as root only"
fi

# For Windows: the library built with mingw-w64 (no tests), installed with
# the signed release programs, packed into the SDK archive; the example built
# from the unpacked archive with the same toolchain and run under Wine
# against the same service.
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
  log "building the Windows library and programs"
  win_build="$repo/build/windows-sdk"
  curl_prefix=$(./scripts/build-curl-windows.sh | tail -n 1)
  sodium_prefix=$(./scripts/build-libsodium-windows.sh | tail -n 1)
  cmake --preset windows -B "$win_build" -DVENDRA_BUILD_TESTS=OFF \
    -DVENDRA_CURL_MINGW_PREFIX="$curl_prefix" -DVENDRA_SODIUM_MINGW_PREFIX="$sodium_prefix" \
    -DVENDRA_PINNED_PUBLISHER_KEY="$build/throwaway-publisher-key/publisher.pub" >/dev/null
  cmake --build "$win_build" -j2 >/dev/null
  ./scripts/windows-release.sh "$win_build" "$win_build/release" >/dev/null 2>&1
  sdk="$work/windows-sdk"
  cmake --install "$win_build" --prefix "$sdk" >/dev/null
  cp "$win_build"/release/*.exe "$sdk/bin/"
  archive="$win_build/vendra-client-sdk-windows-x64.zip"
  rm -f "$archive"
  (cd "$sdk" && cmake -E tar cf "$archive" --format=zip .)
  log "made $archive"

  mkdir -p "$work/windows-unpacked"
  (cd "$work/windows-unpacked" && cmake -E tar xf "$archive")
  cmake -S "$repo/examples" -B "$work/example-windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" "${strict[@]}" \
    -DVendraClient_DIR="$work/windows-unpacked/lib/cmake/VendraClient" >/dev/null
  cmake --build "$work/example-windows" -j2 >/dev/null

  # The fresh Wine prefix is the Windows machine: its own ProgramData and
  # registry, no relocation.
  unset VENDRA_MACHINE_ROOT
  export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  wineserver -w
  win_path() { winepath -w "$1" 2>/dev/null | tr -d '\r'; }
  VENDRA_CA_FILE=$(win_path "$work/ca.pem")
  rm -f "$work"/service/outbox/*.txt
  # Wine's console ends lines with CR LF.
  run_wine() { wine "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
  answers | expect_run "Windows: signing in and downloading the live build" 0 \
    "downloaded tdy 2.5.0" run_wine "$work/example-windows/vendra-fetch.exe" --user developer \
    TDY-UPLINK tdy "$(win_path "$work/downloads-windows")"
  expect_download "$work/downloads-windows"
  expect_run "Windows: the stored session is reused" 0 "live version of tdy: 2.5.0" \
    run_wine "$work/example-windows/vendra-fetch.exe" TDY-UPLINK tdy \
    "$(win_path "$work/downloads-windows-again")" </dev/null
  expect_run "Windows: the SDK's VendraBuild runs" 0 "VendraBuild 1.0" \
    run_wine "$work/windows-unpacked/bin/VendraBuild.exe" --version
  wineserver -k >/dev/null 2>&1 || true
else
  log "skipped the Windows SDK: no mingw-w64 or Wine"
fi

log "took $(( $(date +%s) - start )) s"
