#!/usr/bin/env bash
# Every output of the batch on every sample and on a 30,000-line file, byte
# for byte as the manifest has it; a missing, new or changed file is named.
# A change meant to be seen rewrites the manifest (from the source folder):
#   bench/outputs.sh build/bin/marrowick-batch /tmp/o
#   (cd /tmp/o && find . -type f -printf '%P\n' | LC_ALL=C sort | xargs sha256sum) >tests/golden/outputs.sha256
set -euo pipefail
batch=$1
manifest=$(realpath "$2")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
bash "$(dirname "$0")/../../bench/outputs.sh" "$batch" "$out"
cd "$out"
if ! find . -type f -printf '%P\n' | LC_ALL=C sort | diff <(awk '{print $2}' "$manifest") -; then
  echo "The files written differ from the manifest's (<: missing, >: new)."
  exit 1
fi
sha256sum --quiet --check "$manifest"
