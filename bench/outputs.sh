#!/usr/bin/env bash
# Writes everything an evaluation shows (evaluate's lines, the eight reports in
# text, csv and json, explain of every record, the history, and compare of the
# run with one of another sample, all without their times) for every sample and
# for a 30,000-line file, one folder each, so that two builds can be compared
# byte for byte:
#   bench/outputs.sh build-old/bin/marrowick-batch /tmp/before
#   bench/outputs.sh build/bin/marrowick-batch /tmp/after
#   diff -r /tmp/before /tmp/after
set -euo pipefail
batch=$(realpath "$1")
out=$2
cd "$(dirname "$0")/.."
mkdir -p "$out"
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT

bash bench/results-file.sh 30000 >"$work/results-30000.txt"
times='s/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z?/TIME/g'
for file in samples/results-*.txt "$work/results-30000.txt"; do
  name=$(basename "$file" .txt)
  dir="$out/$name"
  mkdir -p "$dir/csv" "$dir/json"
  db="$work/$name.db"
  { "$batch" evaluate --database "$db" "$file" 2>&1 || echo "exit $?"; } >"$dir/evaluate.txt"
  "$batch" report all --database "$db" >"$dir/reports.txt" 2>&1
  "$batch" report all --database "$db" --format csv --output "$dir/csv" >/dev/null 2>&1
  "$batch" report all --database "$db" --format json --output "$dir/json" >/dev/null 2>&1
  "$batch" explain all --database "$db" --format json >"$dir/explain.json" 2>&1
  # The run's time is the one figure that differs between two evaluations.
  "$batch" history --database "$db" --format json 2>&1 | sed -E 's/"time": *"[^"]*"/"time": ""/' >"$dir/history.json"
  # A second run to compare with: the typical sample, or for that one the aggressive.
  other=samples/results-typical.txt
  [ "$name" != results-typical ] || other=samples/results-aggressive.txt
  "$batch" evaluate --database "$db" "$other" >/dev/null 2>&1
  "$batch" compare --database "$db" -1 -2 2>&1 | sed -E "$times" >"$dir/compare.txt"
  "$batch" compare --database "$db" --format csv 1 2 >"$dir/compare.csv" 2>&1
  "$batch" compare --database "$db" --format json -2 -1 >"$dir/compare.json" 2>&1
done
