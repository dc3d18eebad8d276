#!/usr/bin/env bash
# Builds a static libsodium for 64-bit Windows (mingw-w64) from Debian's own
# source package, cached outside the work tree.
#
# Prints the install prefix (include/, lib/libsodium.a) as its last line.
# Environment: VENDRA_CACHE_DIR (default /var/cache/vendra).
set -euo pipefail

package=libsodium
tool=build-libsodium-windows
# shellcheck source=scripts/mingw-source-build.sh
source "$(dirname "${BASH_SOURCE[0]}")/mingw-source-build.sh"

ensure_tools autoconf automake libtool
find_cached
fetch_source

cd "$srcdir"
step autoreconf autoreconf -fi
# Only what the programs use is needed; the minimal build keeps the archive
# small and leaves out the deprecated and experimental constructions.
step configure ./configure --host=$host --prefix="$stage" \
  --enable-static --disable-shared --enable-minimal --disable-pie
step make make -j2
make install >/dev/null
rm -rf "$stage/lib/pkgconfig" "$stage/lib/libsodium.la"
publish_stage
