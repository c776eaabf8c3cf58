# shellcheck shell=bash disable=SC2034
# What every bench script starts from, sourced first: strict mode, the
# project's folder as the current one, the build, the data folder, the run
# count and the programs measured.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build}
DATA=${BENCH_DATA:-$ROOT/$BUILD_DIR/bench-data}
RUNS=${RUNS:-5}
CLI=$ROOT/$BUILD_DIR/src/cli/parvane-cli
GEN=$ROOT/$BUILD_DIR/bench/parvane-bench-gen
