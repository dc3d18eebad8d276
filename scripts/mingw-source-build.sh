# Shared steps of the scripts that build a static library for 64-bit Windows
# (mingw-w64) from Debian's own source package and cache it outside the work
# tree, keyed by the source version, so that later runs skip the build.
# Sourced by build-curl-windows.sh and build-libsodium-windows.sh; they set
# `package` (the source package) and `tool` (the name in messages) first.
# Environment: VENDRA_CACHE_DIR (default /var/cache/vendra).

cache_root=${VENDRA_CACHE_DIR:-/var/cache/vendra}
host=x86_64-w64-mingw32
sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

log() { echo "$tool: $*" >&2; }

# Source packages come from the same archive, suites and components as the
# binary packages: mirror the existing deb entries as deb-src in a file of
# their own, leaving the system's own list untouched.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/vendra-deb-src.sources
  if [ -f "$list" ]; then return 0; fi
  local src=/etc/apt/sources.list.d/debian.sources
  if [ -f "$src" ]; then
    sed -n -e 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/' -e '/^Types:/p' \
      -e '/^URIs:/p' -e '/^Suites:/p' -e '/^Components:/p' -e '/^Signed-By:/p' -e '/^$/p' \
      "$src" | "${sudo_cmd[@]}" tee "$list.tmp" >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    list=/etc/apt/sources.list.d/vendra-deb-src.list
    if [ -f "$list" ]; then return 0; fi
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list | "${sudo_cmd[@]}" tee "$list.tmp" >/dev/null
  else
    log "no apt source list found"; return 1
  fi
  "${sudo_cmd[@]}" mv "$list.tmp" "$list"
  log "added $list; updating package lists"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
}

# Installs the Debian packages named that are missing.
ensure_tools() {
  local missing=()
  for p in dpkg-dev make gcc-mingw-w64-x86-64-posix "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
  fi
}

# The version apt-get source would fetch, e.g. 7.88.1-10+deb12u15.
source_version() {
  apt-get source --print-uris -qq "$package" 2>/dev/null |
    sed -n "s/.* ${package}_\([^ ]*\)\.dsc .*/\1/p" | head -n 1
}

# Sets `version` and `prefix` (the cache folder of that version). When the
# cache already holds it, prints the prefix and ends the script.
find_cached() {
  ensure_deb_src
  version=$(source_version)
  if [ -z "$version" ]; then
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    version=$(source_version)
  fi
  if [ -z "$version" ]; then log "cannot find $package's source package"; exit 1; fi
  prefix="$cache_root/$package-mingw-$version"
  if [ -f "$prefix/.complete" ]; then
    log "cached: $prefix"
    ln -sfn "$(basename "$prefix")" "$cache_root/$package-mingw-current" 2>/dev/null || true
    echo "$prefix"
    exit 0
  fi
}

# Fetches and unpacks the source into a fresh work folder; sets `work`,
# `srcdir` and `stage` (the install prefix of the build) and `start`.
fetch_source() {
  "${sudo_cmd[@]}" mkdir -p "$cache_root"
  "${sudo_cmd[@]}" chown "$(id -u):$(id -g)" "$cache_root" 2>/dev/null || true
  work=$(mktemp -d "$cache_root/.$package-build.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  start=$(date +%s)
  log "fetching $package $version source"
  (cd "$work" && apt-get source -qq "$package" >/dev/null 2>&1) || (cd "$work" && apt-get source "$package" >&2)
  srcdir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name "$package-*" | head -n 1)
  stage="$work/stage"
}

# Runs a build step quietly, showing the end of its output when it fails.
step() {
  local name=$1; shift
  log "$name"
  "$@" >"$work/$name.log" 2>&1 || { tail -n 40 "$work/$name.log" >&2; exit 1; }
}

# Publishes the staged build atomically, so that a half-built cache is never
# mistaken for a complete one, and prints its prefix.
publish_stage() {
  echo "$version" > "$stage/VERSION"
  rm -rf "$prefix"
  mv "$stage" "$prefix"
  touch "$prefix/.complete"
  ln -sfn "$(basename "$prefix")" "$cache_root/$package-mingw-current"
  log "built in $(( $(date +%s) - start )) s: $prefix"
  echo "$prefix"
}
