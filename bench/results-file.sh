#!/usr/bin/env bash
# Prints a results file of exactly N lines (CRLF), as the benchmarks make one:
# the typical sample's lines, then its clients again with later vaccinations,
# as a registry exports a full history.
set -euo pipefail
cd "$(dirname "$0")/.."
awk -v lines="$1" 'BEGIN { FS = OFS = "," }
  { sub(/\r$/, ""); if ($0 ~ /[^ ]/) row[n++] = $0 }
  END {
    for (i = 0; i < lines; i++) {
      $0 = row[i % n]
      if (i >= n) $14 = 20200101 + int(i / n) % 28
      printf "%s\r\n", $0
    }
  }' samples/results-typical.txt
