#!/usr/bin/env bash
# The main job: the installer run against the service stand-in on loopback,
# in a throw-away machine root, from an empty install folder.
#
#   scripts/demo.sh [--keep]
#
# Everything it makes lives in one temporary folder, removed when the demo
# ends, however it ends; --keep (or VENDRA_DEMO_KEEP=1) leaves it to look at.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
keep="${VENDRA_DEMO_KEEP:-0}"
case "${1:-}" in
  --keep) keep=1 ;;
  "") ;;
  *) echo "usage: scripts/demo.sh [--keep]" >&2; exit 2 ;;
esac

./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target TandoryInstaller vendra-service VendraBuild vendra-catalogue

work="$(mktemp -d /tmp/tandory-demo-XXXXXX)"
service_pid=""
cleanup() {
  if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi
  if [ "$keep" = 1 ]; then
    echo "kept the demo folder: $work"
    return
  fi
  # The package manager the installer handed over to may still be finishing
  # (its install lock's holder file goes with it): its files go after it.
  local holder="$work/machine/ProgramData/Vendra Software/VendraBuild.lock"
  for _ in $(seq 1 300); do
    if [ ! -e "$holder" ]; then break; fi
    sleep 0.2
  done
  rm -rf "$work"
  echo "removed the demo folder $work (scripts/demo.sh --keep leaves it)"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
echo "demo folder: $work"

# A throw-away certificate authority and a certificate for localhost.
./scripts/make-certificates.sh "$work"

service="$repo/build/default/service/vendra-service"
mkdir -p "$work/service"
"$service" add-user --root "$work/service" --user demo --password "demo-password"
./scripts/make-catalogue.sh "$work/service" 1.4.2 build/default

"$service" serve --root "$work/service" --listen 127.0.0.1:0 \
  --tls-cert "$work/server.pem" --tls-key "$work/server.key" > "$work/service.out" &
service_pid=$!
for _ in $(seq 1 100); do
  if grep -q '^listening ' "$work/service.out" 2>/dev/null; then break; fi
  sleep 0.1
done
url="$(sed -n 's/^listening //p' "$work/service.out" | head -n1)"
url="${url/127.0.0.1/localhost}"
echo "service: $url"

mkdir -p "$work/Tandory"
cp "$repo/build/default/installer/TandoryInstaller" "$work/Tandory/"
export VENDRA_MACHINE_ROOT="$work/machine"
# The demo machine's identifier, from which the device identity is made.
mkdir -p "$VENDRA_MACHINE_ROOT/etc"
od -An -N16 -tx1 /dev/urandom | tr -d ' \n' > "$VENDRA_MACHINE_ROOT/etc/machine-id"
echo >> "$VENDRA_MACHINE_ROOT/etc/machine-id"
export VENDRA_SERVICE_URL="$url"
export VENDRA_CA_FILE="$work/ca.pem"
# The package manager trusts the demo publisher's key made with the catalogue.
export VENDRA_BUILD_CONFIG="$work/service.vendrabuild-config.json"

# The person at the installer, as a script: the Login window (user,
# password, session length, OK), then the Device Authorisation window
# (keep the device name, ask for a code by e-mail, enter the code from the
# service's outbox, OK). The terminal windows read one line per answer.
answers() {
  printf 'demo\ndemo-password\n1 year\nOK\n'
  printf '\n\nSend me a code via E-mail\n'
  local code=""
  for _ in $(seq 1 300); do
    code="$(cat "$work"/service/outbox/*.txt 2>/dev/null | sed -n 's/^code: //p' | tail -n1)"
    if [ -n "$code" ]; then break; fi
    sleep 0.1
  done
  echo "[demo] e-mailed code: $code" >&2
  printf '\n%s\nOK\n' "$code"
}

set +e
answers | "$work/Tandory/TandoryInstaller"
status=$?
set -e
echo "installer exit code: $status"

# The installer has handed over to the package manager, which installs the
# product on its own; wait for its install record.
record="$work/Tandory/VendraBuild.install.json"
for _ in $(seq 1 600); do
  if [ -f "$record" ]; then break; fi
  sleep 0.2
done
sleep 0.5
echo "uninstall entry:"
find "$VENDRA_MACHINE_ROOT/Registry" -name 'v_*' -printf '  %f\n' | sort
echo "install folder:"
(cd "$work/Tandory" && find . -type f | sort | sed 's/^/  /')
if [ ! -f "$record" ]; then
  echo "the product was not installed" >&2
  exit 1
fi
echo "Tandory is installed in $work/Tandory"
