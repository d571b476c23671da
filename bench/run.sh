#!/usr/bin/env bash
# Builds (optimised) and runs every benchmark; each prints its figures against its target.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target bench_load bench_evaluate bench_print bench_explain bench_history bench_dashboard bench_roundtrip marrowick-batch marrowick-simregistry >/dev/null
for b in bench_load bench_evaluate bench_print bench_explain bench_history bench_dashboard bench_roundtrip; do
  QT_QPA_PLATFORM=offscreen "build/bin/$b"
done
