#!/usr/bin/env bash
# The shipped Windows programs as released: stripped, their debug information
# kept beside them, and signed with a throw-away code-signing certificate (no
# timestamp, so no network).
#
#   scripts/windows-release.sh [BUILD_DIR OUT_DIR]
#
# Without arguments it builds the windows-release preset (optimised for size,
# no tests; configured when it is not yet) into build/windows-release and
# writes the release into build/windows-release/release. That build's
# installer trusts the publisher key VENDRA_PINNED_PUBLISHER_KEY names (the
# publisher's Ed25519 public key in PEM): needed for the first configure,
# and when given later the build is configured with it again. With arguments it
# takes the programs of a finished Windows build (the test run passes its
# own, so that what it tries is what it signs).
#
# Writes OUT_DIR/NAME.exe (stripped and signed, with a debug link to
# NAME.debug), OUT_DIR/NAME.debug, OUT_DIR/altered/TandoryInstaller.exe (the
# signed installer with one byte changed after signing, for the check that
# it is refused) and OUT_DIR/sizes.txt. Fails when a stripped program of a
# build optimised for size (the windows-release preset) is 2 MB or larger;
# the sizes of other builds are printed only. Exit codes: 0 done, 1 failed, 2 wrong command line.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tools=x86_64-w64-mingw32
size_limit=$((2 * 1024 * 1024))
usage="usage: scripts/windows-release.sh [BUILD_DIR OUT_DIR]"

log() { echo "windows-release: $*" >&2; }

case "${1:-}" in
  -h|--help) echo "$usage"; exit 0 ;;
esac
if [ $# -eq 0 ]; then
  build="$repo/build/windows-release"
  out="$build/release"
  pinned_key="${VENDRA_PINNED_PUBLISHER_KEY:-}"
  if [ ! -f "$build/build.ninja" ] && [ -z "$pinned_key" ]; then
    log "a release names the publisher key its installer trusts:" \
      "VENDRA_PINNED_PUBLISHER_KEY=PUBLIC_KEY.pem scripts/windows-release.sh"
    exit 2
  fi
  if [ ! -f "$build/build.ninja" ] || [ -n "$pinned_key" ]; then
    curl_prefix=$("$repo/scripts/build-curl-windows.sh" | tail -n 1)
    sodium_prefix=$("$repo/scripts/build-libsodium-windows.sh" | tail -n 1)
    log "configuring the windows-release preset"
    (cd "$repo" && cmake --preset windows-release -DVENDRA_CURL_MINGW_PREFIX="$curl_prefix" \
      -DVENDRA_SODIUM_MINGW_PREFIX="$sodium_prefix" -DVENDRA_PINNED_PUBLISHER_KEY="$pinned_key") >&2
  fi
  log "building the windows-release preset"
  (cd "$repo" && cmake --build --preset windows-release) >&2
elif [ $# -eq 2 ]; then
  build=$1
  out=$2
else
  echo "$usage" >&2
  exit 2
fi

programs=(installer/TandoryInstaller.exe packagemanager/VendraBuild.exe
  crashreporter/VendraCrashMobile.exe)
for p in "${programs[@]}"; do
  [ -f "$build/$p" ] || { log "no $build/$p: build the Windows programs first"; exit 1; }
done

rm -rf "$out"
mkdir -p "$out/altered"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$repo/scripts/make-code-signing-certificate.sh" "$work"

: >"$out/sizes.txt"
for p in "${programs[@]}"; do
  name=$(basename "$p" .exe)
  cp "$build/$p" "$work/$name.exe"
  # The debug link names the file by its base name and checks its CRC, so it
  # is added from inside the output folder, where the two files stay together.
  "$tools-objcopy" --only-keep-debug "$work/$name.exe" "$out/$name.debug"
  "$tools-strip" --strip-all "$work/$name.exe"
  (cd "$out" && "$tools-objcopy" --add-gnu-debuglink="$name.debug" "$work/$name.exe")
  osslsigncode sign -certs "$work/code-signing.pem" -key "$work/code-signing.key" -h sha256 \
    -n "$name" -in "$work/$name.exe" -out "$out/$name.exe" >/dev/null
  printf '%-24s %10d bytes (%10d unstripped, %10d debug)\n' "$name.exe" \
    "$(stat -c %s "$out/$name.exe")" "$(stat -c %s "$build/$p")" \
    "$(stat -c %s "$out/$name.debug")" >>"$out/sizes.txt"
done

"$repo/scripts/alter-program.sh" "$out/TandoryInstaller.exe" "$out/altered/TandoryInstaller.exe"

cat "$out/sizes.txt" >&2
grep -qx 'CMAKE_BUILD_TYPE:STRING=MinSizeRel' "$build/CMakeCache.txt" || exit 0
too_large=0
for p in "${programs[@]}"; do
  name=$(basename "$p")
  size=$(stat -c %s "$out/$name")
  if [ "$size" -ge "$size_limit" ]; then
    log "the stripped $name is $size bytes, not under $size_limit"
    too_large=1
  fi
done
exit "$too_large"
