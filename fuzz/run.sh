#!/usr/bin/env bash
# Builds the fuzz target with clang and runs it for the given seconds (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build-fuzz/corpus
cp -n fuzz/corpus/* build-fuzz/corpus/ 2>/dev/null || true
cd build-fuzz
bin/fuzz_results_file -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 corpus 2>&1 | tail -n 25
