#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the optimised Linux
# build, the sanitizer builds, and the Windows build under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/common.sh"
cd "$root"

install_missing "${BUILD_PACKAGES[@]}" libgtest-dev googletest "${WINDOWS_PACKAGES[@]}"
jobs=$(nproc)

for preset in linux asan tsan windows; do
  echo "=== $preset ==="
  cmake --preset "$preset" -DSHRINKDIR_BUILD_TESTS=ON -DSHRINKDIR_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs"
done
