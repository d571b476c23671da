#!/usr/bin/env bash
# Installs what is missing, builds, then starts the program (run) or runs every test (test).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make qt6-base-dev qt6-charts-dev libqt6sql6-sqlite libsqlite3-dev qtkeychain-qt6-dev libgl-dev fonts-liberation2 fonts-dejavu-core poppler-utils)
# The sanitizer build, the fuzz run, the permission tests, the package check and the function-size check of CI.
[ "${1:-run}" = test ] && packages+=(clang libclang-rt-14-dev util-linux lintian clang-tidy)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  else
    echo "Missing packages. Run this, then this command again:"
    echo "  sudo apt-get install -y ${missing[*]}"
    exit 1
  fi
fi

# CI keeps the build free of warnings.
cmake --preset default -DMARROWICK_WERROR="${CI:+ON}"
cmake --build --preset default

case "${1:-run}" in
  run) exec build/bin/marrowick ;;
  test) ctest --preset default ;;
  *) echo "usage: $0 [run|test]"; exit 2 ;;
esac
