#!/usr/bin/env bash
# A black-box run of the installer as root on a machine where another local
# user (nobody) has prepared attacks before and during the run. Each scenario
# ends in a check that nothing the attacker prepared was run, written or
# leaked, and that a run that cannot go on says why.
#
#   tests/installer/hostile_machine.sh BUILD_DIR
#
# Exit codes: 0 every scenario held, 1 an attack worked (or the run broke),
# 77 skipped (not root, or no way to become another user).
set -uo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:?usage: hostile_machine.sh BUILD_DIR}" && pwd)"

if [ "$(id -u)" != 0 ]; then
  echo "skipped: the hostile-machine run needs root (the installer's elevated run against another user)"
  exit 77
fi
if ! command -v setpriv >/dev/null || ! setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
  echo "skipped: cannot run commands as the user nobody (setpriv)"
  exit 77
fi
for program in installer/TandoryInstaller service/vendra-service packagemanager/VendraBuild \
               packagemanager/vendra-catalogue; do
  if [ ! -x "$build/$program" ]; then echo "missing $build/$program: build it first" >&2; exit 1; fi
done

work="$(mktemp -d /tmp/hostile-machine-XXXXXX)"
chmod 755 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  # The package manager runs detached from the installer: end those started from here, by id.
  for exe in /proc/[0-9]*/exe; do
    case "$(readlink "$exe" 2>/dev/null)" in "$work"/*) kill "$(basename "$(dirname "$exe")")" 2>/dev/null;; esac
  done
  if [ -n "${KEEP_HOSTILE_MACHINE:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
attacker=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
as_attacker() { "${attacker[@]}" "$@"; }

# --- the machine -----------------------------------------------------------
"$repo/scripts/make-certificates.sh" "$work" >/dev/null 2>&1 || { echo "certificates failed" >&2; exit 1; }
service="$build/service/vendra-service"
"$service" add-user --root "$work/service" --user demo --password demo-password >/dev/null
"$repo/scripts/make-catalogue.sh" "$work/service" 1.4.2 "$build" >/dev/null 2>&1 \
  || { echo "catalogue failed" >&2; exit 1; }
"$service" serve --root "$work/service" --listen 127.0.0.1:0 --faults \
  --tls-cert "$work/server.pem" --tls-key "$work/server.key" > "$work/service.out" 2>&1 &
pids+=($!)
# A plain-HTTP listener that should never hear from the installer.
mkdir -p "$work/plain"
"$service" serve --root "$work/plain" --listen 127.0.0.1:0 > "$work/plain.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  grep -q '^listening ' "$work/service.out" && grep -q '^listening ' "$work/plain.out" && break
  sleep 0.1
done
url="$(sed -n 's/^listening //p' "$work/service.out" | head -n1)"
plain_url="$(sed -n 's/^listening //p' "$work/plain.out" | head -n1)"
control="${url}control"
url="${url/127.0.0.1/localhost}"

export VENDRA_MACHINE_ROOT="$work/machine"
mkdir -p "$VENDRA_MACHINE_ROOT/etc"
od -An -N16 -tx1 /dev/urandom | tr -d ' \n' > "$VENDRA_MACHINE_ROOT/etc/machine-id"
echo >> "$VENDRA_MACHINE_ROOT/etc/machine-id"
chmod -R go+rX "$VENDRA_MACHINE_ROOT"
export VENDRA_SERVICE_URL="$url" VENDRA_CA_FILE="$work/ca.pem"
export VENDRA_BUILD_CONFIG="$work/service.vendrabuild-config.json"
# The shared data folder as the vendor's programs make it: everyone may add files.
data="$VENDRA_MACHINE_ROOT/ProgramData/Vendra Software"
mkdir -p "$data" && chmod 1777 "$data" && chmod 755 "$VENDRA_MACHINE_ROOT/ProgramData"
objects="$VENDRA_MACHINE_ROOT/Objects"
mkdir -p "$objects" && chmod 1777 "$objects"
# What root owns and the attacker would like changed.
victims="$work/victims"
mkdir -p "$victims"
for v in z exe cfg; do echo "root's $v file" > "$victims/$v"; chmod 600 "$victims/$v"; done
mkdir -p "$victims/bin"

script_fault() { # PATH JSON-REPLIES
  curl -s --cacert "$work/ca.pem" -o /dev/null -w '%{http_code}' -X POST \
    --data-binary "{\"path\": \"$1\", \"replies\": $2}" "${control/127.0.0.1/localhost}/script" | grep -q 200 \
    || echo "could not script $1" >&2
}
clear_faults() {
  curl -s --cacert "$work/ca.pem" -o /dev/null -X POST "${control/127.0.0.1/localhost}/clear"
}

# The person at the installer: sign-in, then device authorisation by e-mail.
answers() {
  printf 'demo\ndemo-password\n1 year\nOK\n'
  printf '\n\nSend me a code via E-mail\n'
  local code=""
  for _ in $(seq 1 100); do
    code="$(cat "$work"/service/outbox/*.txt 2>/dev/null | sed -n 's/^code: //p' | tail -n1)"
    [ -n "$code" ] && break
    sleep 0.1
  done
  printf '\n%s\nOK\n' "$code"
}

# run_installer FOLDER LOG [answers]: copies the installer into FOLDER and runs it as root.
run_installer() {
  local folder="$1" log="$2"
  cp "$build/installer/TandoryInstaller" "$folder/"
  if [ "${3:-}" = answers ]; then
    answers | timeout 60 "$folder/TandoryInstaller" > "$log" 2>&1
  else
    timeout 60 "$folder/TandoryInstaller" < /dev/null > "$log" 2>&1
  fi
  echo $?
}
wait_for_text() { # LOG REGEX: the detached package manager writes into the installer's output
  for _ in $(seq 1 150); do grep -Eqi -- "$2" "$1" && return 0; sleep 0.2; done
  return 1
}
wait_for_record() { # FOLDER
  for _ in $(seq 1 150); do [ -f "$1/VendraBuild.install.json" ] && return 0; sleep 0.2; done
  return 1
}

# A program the attacker wants root to run: it leaves proof that it ran.
evil="$work/evil/VendraBuild.exe"
mkdir -p "$work/evil" && chmod 755 "$work/evil"
printf '#!/bin/sh\nid > %s/pwned\n' "$work" > "$evil" && chmod 755 "$evil"
chmod 777 "$work"   # lets the planted program leave its proof when run as anyone
untouched() { # checks the victims kept their content and mode
  local v
  for v in z exe cfg; do
    [ "$(cat "$victims/$v")" = "root's $v file" ] && [ "$(stat -c %a "$victims/$v")" = 600 ] \
      || { fail "$1: root's file $v was written through a planted link"; return; }
  done
  [ -z "$(ls -A "$victims/bin")" ] || { fail "$1: a file landed in root's folder through a link: $(ls -lA "$victims/bin")"; return; }
  [ ! -e "$work/pwned" ] || { fail "$1: the attacker's program ran: $(cat "$work/pwned")"; rm -f "$work/pwned"; return; }
  pass "$1: nothing run or written through the attacker's links"
}
said() { # LOG REGEX WHAT: the run that could not go on said why
  if grep -Eqi -- "$2" "$1"; then pass "$3"; else fail "$3 (no clear message; output follows)"; sed 's/^/    | /' "$1"; fi
}

# --- 5: mutex files made before root's first run, as any user's first start makes them ---
sync_mutex="$objects/vendra.Global%5CVendra Software-Sync.mutex"
as_attacker sh -c 'umask 0; : > "$0"' "$sync_mutex"
mkdir -p "$work/base"
status=$(run_installer "$work/base" "$work/run0.log")
said "$work/run0.log" 'Error Code -109' "5: a mutex file another user made first does not stop root's run"
as_attacker rm -f "$sync_mutex"

# --- 9: a folder whose name holds a backslash would lead elsewhere ------------------
for name in 'inst\..\..\elsewhere' 'a "b" c\'; do
  mkdir -p "$work/deep/er/$name"
  status=$(run_installer "$work/deep/er/$name" "$work/run9.log")
  said "$work/run9.log" 'has a backslash in its name' "9: the installer in '$name' is refused, naming the folder"
done
[ -z "$(find "$work" -name VendraBuild.install.json)" ] && [ ! -e "$work/deep/elsewhere" ] \
  && pass "9: nothing was installed for the folders with a backslash" \
  || fail "9: a folder with a backslash was installed into"

# --- 1: a prepared utils folder, links, a FIFO, a swapper, a planted session and block -----
as_attacker mkdir -m 777 "$data/utils" "$data/downloads"
as_attacker ln -s "$victims/z" "$data/utils/VendraBuild.exe.z"
as_attacker ln -s "$victims/exe" "$data/utils/VendraBuild.exe"
as_attacker mkfifo "$data/utils/VendraCrashMobile.exe"
as_attacker ln -s "$victims/bin" "$data/downloads/tdy"
# A session of the attacker's making, readable by all, and the block the
# access token would be written into, made and held open by the attacker.
printf '{"username":"attacker","refresh_token":"planted","local_token":"planted"}' \
  | as_attacker sh -c "umask 022; cat > '$data/localStorage.json'"
block="$objects/vendra.Global%3A%3AVendra Software%2FVC1.shm"
"${attacker[@]}" sh -c 'umask 077; : > "$0"; exec 3<>"$0" sleep 120 >/dev/null 2>&1' "$block" &
pids+=($!)
# The swapper: whatever the folder becomes, keep putting the planted program
# at the path root starts, and make utils again if it disappears. It gives
# up by itself after two minutes, so that a run killed before its clean-up
# leaves no loop behind.
"${attacker[@]}" bash -c '
  while [ "$SECONDS" -lt 120 ]; do
    mkdir -m 777 "$1/utils" 2>/dev/null
    cp "$2" "$1/utils/.swap" 2>/dev/null && mv -f "$1/utils/.swap" "$1/utils/VendraBuild.exe" 2>/dev/null
  done' swapper "$data" "$evil" >/dev/null 2>&1 &
swapper=$!
pids+=($swapper)
install1="$work/a \"b\" c"
mkdir -p "$install1"
status=$(run_installer "$install1" "$work/run1.log" answers)
kill "$swapper" 2>/dev/null; wait "$swapper" 2>/dev/null
# The folder reaches the package manager as one argument, quotes included.
wait_for_text "$work/run1.log" 'Installed tdy|Failed to install'
if grep -qF "into $install1" "$work/run1.log" && grep -q 'Installed tdy' "$work/run1.log"; then
  pass "1,8: installed, the folder named with quotes arrived whole"
else
  fail "1,8: the folder named with quotes did not arrive whole"; sed 's/^/    | /' "$work/run1.log" | tail -15
fi
[ -z "$(find "$work" -maxdepth 1 -name '--*')" ] || fail "8: an argument escaped the command line"
untouched "1,2,7"
owner="$(stat -c '%U %a' "$data/utils")"
[ "$owner" = "root 755" ] && pass "1: utils is root's own (0755)" || fail "1: utils is '$owner'"
[ "$(stat -c %U "$data/utils/VendraBuild.exe")" = root ] && cmp -s "$data/utils/VendraBuild.exe" "$build/packagemanager/VendraBuild" \
  && pass "1: the placed package manager is the real one" || fail "1: utils/VendraBuild.exe is not the real program"
session="$(stat -c '%U %a' "$data/localStorage.json")"
[ "$session" = "root 600" ] && pass "4: the session file is root's own, mode 600" || fail "4: session file is '$session'"
if as_attacker cat "$data/localStorage.json" >/dev/null 2>&1; then fail "4: the attacker reads the session"; else pass "4: the attacker cannot read the session"; fi
if [ -e "$block" ] && as_attacker tr -d '\0' < "$block" | grep -q .; then
  fail "5: the attacker's block holds what root wrote into it"
else
  pass "5: nothing was written into the attacker's block"
fi
grep -q 'planted' "$work/service/requests.log" && fail "4: the planted session was sent to the service" \
  || pass "4: the planted session was not used"

# --- 2: links planted inside an install folder the attacker prepared ------------
install2="$work/shared/Tandory"
mkdir -p "$work/shared" && chmod 1777 "$work/shared"
as_attacker mkdir -m 777 "$install2"
as_attacker ln -s "$victims/bin" "$install2/data"
as_attacker ln -s "$victims/cfg" "$install2/Tandory.exe"
status=$(run_installer "$install2" "$work/run2.log")
wait_for_text "$work/run2.log" 'Installed tdy|refused|leads outside'
untouched "2"
said "$work/run2.log" 'leads outside' "2: the linked folder in the install folder is refused, naming the file"


# --- 3: a valid stream of another program for the utility and for a build file --------
mkdir -p "$work/evilroot"
"$build/packagemanager/vendra-catalogue" utility --unsigned --root "$work/evilroot" --name vendrabuild "$evil" >/dev/null
hex="$(od -An -v -tx1 "$work/evilroot/utilities/vendrabuild/VendraBuild.exe.z" | tr -d ' \n')"
rm -f "$data/utils/VendraBuild.exe" "$data/utils/VendraBuild.exe.z"
script_fault vclient/download "[{\"status\": 200, \"body_hex\": \"$hex\", \"content_type\": \"application/octet-stream\"}]"
mkdir -p "$work/run3"
status=$(run_installer "$work/run3" "$work/run3.log")
sleep 1
[ ! -e "$work/run3/VendraBuild.install.json" ] && said "$work/run3.log" 'failed.*|VendraBuild\.exe' "3: the wrong utility stops the run, naming the file" \
  || fail "3: the wrong utility was accepted"
untouched "3"
[ ! -e "$data/utils/VendraBuild.exe" ] || ! cmp -s "$data/utils/VendraBuild.exe" "$evil" \
  && pass "3: the wrong utility was not placed" || fail "3: the wrong utility was placed"
clear_faults
# A build file: the utility comes whole (the run above left none), every
# build file is the attacker's program, packed.
rm -rf "$data/downloads"
script_fault vclient/download "[{}, $(for _ in 1 2 3 4; do printf '{"status": 200, "body_hex": "%s", "content_type": "application/octet-stream"},' "$hex"; done | sed 's/,$//')]"
mkdir -p "$work/run4"
status=$(run_installer "$work/run4" "$work/run4.log")
wait_for_text "$work/run4.log" 'Installed tdy|wrong|discarded'
untouched "3b"
[ ! -e "$work/run4/Tandory.exe" ] \
  && said "$work/run4.log" 'wrong download' "3: a wrong build file is refused and nothing is installed" \
  || fail "3: a wrong build file reached the install folder"
clear_faults

# --- 6: a redirect to plain HTTP --------------------------------------------------
for path in vclient/builds vclient/build vclient/utility vclient/download; do
  script_fault "$path" "[{\"status\": 307, \"headers\": {\"Location\": \"${plain_url}$path\"}}]"
done
mkdir -p "$work/run6"
status=$(run_installer "$work/run6" "$work/run6.log")
sleep 1
if [ -s "$work/plain/requests.log" ]; then fail "6: a request followed the redirect to plain HTTP"
else pass "6: nothing was sent to the plain-HTTP address"; fi
[ ! -e "$work/run6/VendraBuild.install.json" ] && said "$work/run6.log" 'https|redirect' "6: the redirect stops the run with a clear message" \
  || fail "6: the run went on after a redirect to plain HTTP"
clear_faults

echo "$failures attack(s) worked"
[ "$failures" = 0 ]
