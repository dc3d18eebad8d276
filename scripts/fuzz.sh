#!/usr/bin/env bash
# Builds the libFuzzer targets with the fuzz preset and runs each one for a
# bounded time. Usage: scripts/fuzz.sh [seconds per target, default 45].
# Exits non-zero when any target finds a crash, leak or sanitizer report.
set -euo pipefail

seconds="${1:-45}"
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

targets=(parse_value_a parse_object_a load_file round_trip release_signature)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${targets[@]/#/fuzz_}"

artifacts="$root/build/fuzz/artifacts"
mkdir -p "$artifacts"
status=0
for name in "${targets[@]}"; do
  max_len=4096
  [[ "$name" == load_file ]] && max_len=1048576
  # New inputs go to a scratch folder; the committed seeds stay as they are.
  scratch="$(mktemp -d)"
  echo "== fuzz_$name for ${seconds}s"
  if ! "build/fuzz/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len="$max_len" \
      -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
      -artifact_prefix="$artifacts/${name}-" "$scratch" "fuzz/corpus/$name"; then
    echo "fuzz_$name FAILED (see $artifacts)" >&2
    status=1
  fi
  rm -rf "$scratch"
done
exit "$status"
