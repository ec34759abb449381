#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a fixed time.
#   fuzz/run.sh BUILD_DIR SECONDS
# Each target fuzz_NAME starts from the inputs kept in fuzz/seeds/NAME (for
# the decoders, valid containers and images of every kind, made once with the
# test encoder and image builder; for the renderers, runs whose names hold
# markup, quotes, controls and broken UTF-8) and fuzz/regressions/NAME
# (inputs that once failed).
# Any crash, leak, sanitizer finding or timeout makes the script fail; the
# input that caused it is left in BUILD_DIR/fuzz-artifacts.
set -euo pipefail
build=${1:?build directory}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
status=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  name=${name#fuzz_}
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  dirs=("$work")
  for kept in "$here/seeds/$name" "$here/regressions/$name"; do
    [ -d "$kept" ] && dirs+=("$kept")
  done
  echo "== fuzzing $name for ${seconds}s (${#dirs[@]} input folders)"
  if ! ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
      "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=1048576 \
      -artifact_prefix="$artifacts/$name-" -print_final_stats=1 "${dirs[@]}"; then
    echo "== fuzz target $name found a problem; see $artifacts" >&2
    status=1
  fi
done
exit $status
