#!/usr/bin/env bash
# The client library's reference: Doxygen over docs/library.md and the public
# headers (the lists in cmake/VendraPublicHeaders.cmake) into OUT_DIR/html:
#   scripts/reference.sh [OUT_DIR]        (default build/reference)
# Fails on any warning, an undocumented public declaration among them. Needs
# only what scripts/install-deps.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir="$PWD"
out="${1:-build/reference}"

command -v doxygen >/dev/null 2>&1 || { echo "reference: doxygen is missing; run scripts/install-deps.sh" >&2; exit 1; }

# The header list as CMake reads it, one a line.
list_script="$(mktemp)"
trap 'rm -f "$list_script"' EXIT
cat >"$list_script" <<'CMAKE'
include(${SOURCE_DIR}/cmake/VendraPublicHeaders.cmake)
foreach(header IN LISTS VENDRA_PUBLIC_HEADERS)
  message(NOTICE "${header}")
endforeach()
CMAKE
if ! listed="$(cmake -DSOURCE_DIR="$source_dir" -P "$list_script" 2>&1)"; then
  echo "$listed" >&2
  echo "reference: cmake/VendraPublicHeaders.cmake could not be read" >&2
  exit 1
fi
mapfile -t headers <<<"$listed"
[ -n "${headers[0]}" ] || { echo "reference: no public headers listed" >&2; exit 1; }
input=()
for header in "${headers[@]}"; do
  if [ ! -f "$header" ]; then
    echo "reference: listed public header $header does not exist" >&2
    exit 1
  fi
  input+=("$source_dir/$header")
done

# Only what an earlier run made goes: OUT_DIR may hold other things.
mkdir -p "$out"
rm -rf "$out/html" "$out/warnings.log"
export VENDRA_SOURCE_DIR="$source_dir"
export VENDRA_REFERENCE_OUTPUT="$(cd "$out" && pwd)"
export VENDRA_REFERENCE_INPUT="${input[*]}"
# Doxygen's own exit status covers the warnings (WARN_AS_ERROR); the log is
# checked as well, so that a warning can never pass unnoticed.
log="$out/warnings.log"
status=0
doxygen docs/Doxyfile 2>"$log" || status=$?
if [ -s "$log" ] || [ "$status" -ne 0 ]; then
  cat "$log" >&2
  echo "reference: $(grep -c . "$log") warning(s); the reference is not complete" >&2
  exit 1
fi
echo "reference: $VENDRA_REFERENCE_OUTPUT/html/index.html (${#input[@]} headers)"
