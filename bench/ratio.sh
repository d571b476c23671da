#!/usr/bin/env bash
# The cost of `marrowick-batch evaluate` against SQLite's own import of the same
# file, as whole processes: the median, over PAIRS pairs, of the ratio of their
# CPU times (user + system), and the evaluation's peak memory. Each side of a
# pair runs REPEAT times in one timed loop, each evaluation on a fresh copy of a
# new database, so that the timer's 10 ms steps do not swamp short runs. The
# two sides take turns at going first, so that a machine growing busier or
# quieter during a pair weighs on both alike.
#   bench/ratio.sh [build/bin/marrowick-batch] [PAIRS] [REPEAT]
set -euo pipefail
batch=$(realpath "${1:-build/bin/marrowick-batch}")
pairs=${2:-21}
repeat=${3:-20}
cd "$(dirname "$0")/.."
command -v sqlite3 >/dev/null || { echo "needs the sqlite3 program"; exit 2; }
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT

"$batch" history --database "$work/new.db" >/dev/null # a new database, no run in it

# CPU time to the millisecond from the shell's own timer (/usr/bin/time prints
# hundredths, too coarse a step for a short loop); /usr/bin/time gives the peak.
TIMEFORMAT='%3U %3S'
# The timer's line is the last: anything else a loop wrote to standard error comes before it.
cpu() { tail -n 1 "$1" | awk '{ printf "%.3f", $1 + $2 }'; }
# A run that fails would look fast: the loop stops and the script says so.
failed() { echo "$1 failed on $2:" >&2; cat "$3" >&2; exit 1; }
peak() { awk '{ printf "%.1f", $1 / 1024 }' "$1"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

for lines in 550 30000; do
  file="$work/results-$lines.txt"
  bash bench/results-file.sh "$lines" >"$file"
  ratios=()
  peaks=()
  for ((p = 0; p < pairs; p++)); do
    rm -f "$work"/run*.db "$work"/import*.db
    for ((r = 0; r < repeat; r++)); do cp "$work/new.db" "$work/run$r.db"; done
    chmod u+w "$work"/run*.db
    timeEvaluate() {
      { time /usr/bin/time -f '%M' -o "$work/m" sh -c \
        "for r in \$(seq 0 $((repeat - 1))); do '$batch' evaluate --database '$work/run'\$r.db '$file' >/dev/null 2>'$work/e' || exit 1; done"; } 2>"$work/a" \
        || failed "marrowick-batch evaluate" "$file" "$work/e"
    }
    timeImport() {
      { time /usr/bin/time -f '%M' -o "$work/n" sh -c \
        "for r in \$(seq 0 $((repeat - 1))); do sqlite3 '$work/import'\$r.db '.mode csv' '.import $file x' >/dev/null 2>'$work/e' || exit 1; done"; } 2>"$work/b" \
        || failed "sqlite3 .import" "$file" "$work/e"
    }
    if ((p % 2 == 0)); then timeEvaluate && timeImport; else timeImport && timeEvaluate; fi
    ratios+=("$(awk -v a="$(cpu "$work/a")" -v b="$(cpu "$work/b")" 'BEGIN { printf "%.3f", a / b }')")
    peaks+=("$(peak "$work/m")")
  done
  printf '%6d lines: evaluate / sqlite3 import, CPU time: %.2fx (median of %d pairs); peak memory %s MiB (median)\n' \
    "$lines" "$(printf '%s\n' "${ratios[@]}" | median)" "$pairs" "$(printf '%s\n' "${peaks[@]}" | median)"
done
