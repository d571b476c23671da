#!/usr/bin/env bash
# Rewrites samples/ from the simulator: one results file and its ground truth per policy.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/bin}
for policy in none exact typical aggressive perfect; do
  "$bin/marrowick-simregistry" --policy "$policy" --input data/DupTestData.txt --answers data/Answer_Sheet.csv \
    --nicknames tools/deckdata/nicknames.txt --output "samples/results-$policy.txt" --truth "samples/truth-$policy.csv"
done
