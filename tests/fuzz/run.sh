#!/usr/bin/env bash
# Runs every fuzz target for a bounded time and prints, per target, the
# executions, executions per second, peak memory and the coverage reached
# (edges, then features).
#   bash tests/fuzz/run.sh BUILD_DIR SECONDS
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=$1
SECONDS_EACH=${2:-60}
WORK=$BUILD/fuzz-work
SEEDS=tests/fuzz/seeds
CORPUS=../shared/corpus
mkdir -p "$WORK"

# Seeds for the parser: the sample the fixture builder makes, and the shared
# corpus when this checkout has it.
mkdir -p "$WORK/parse-seeds"
"$BUILD/tests/sample/parvane-make-sample" "$WORK/parse-seeds/sample.tnef"
if [ -d "$CORPUS" ]; then
  cp "$CORPUS"/*.tnef "$WORK/parse-seeds/"
else
  echo "fuzz: $CORPUS not found; seeding the parser with the sample only"
fi
[ -d "$SEEDS/parse" ] && cp "$SEEDS"/parse/* "$WORK/parse-seeds/" 2>/dev/null || true

status=0
for target in parse extract names prefs rtf rtftext unwrap; do
  live=$WORK/$target-corpus
  mkdir -p "$live"
  case $target in
    parse|extract|unwrap) seeds=$WORK/parse-seeds ;;
    *) seeds=$SEEDS/$target ;;
  esac
  log=$WORK/$target.log
  echo "== fuzz_$target for ${SECONDS_EACH}s"
  if ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/fuzz/lsan.supp \
     "$BUILD/tests/fuzz/fuzz_$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$WORK/$target-" -print_final_stats=1 "$live" "$seeds" > "$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^stat::average_exec_per_sec|^stat::peak_rss_mb' "$log" || true
    grep -m1 -E '^#[0-9]+[[:space:]]+DONE' "$log" | sed -E 's/^.*cov: ([0-9]+) ft: ([0-9]+).*$/coverage: \1 edges, \2 features/' || true
  else
    echo "fuzz_$target found a problem:"; tail -40 "$log"; status=1
  fi
done
exit $status
