#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the optimised Linux
# build, the sanitizer builds, and the Windows build under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/common.sh"
cd "$root"

install_missing "${BUILD_PACKAGES[@]}" libgtest-dev googletest clang libclang-rt-dev dpkg-dev man-db locales \
  "${WINDOWS_PACKAGES[@]}"
jobs=$(nproc)

run_tests() {
  echo "=== $1 ==="
  cmake --preset "$1" -DSHRINKDIR_BUILD_TESTS=ON -DSHRINKDIR_WERROR=ON >/dev/null
  cmake --build --preset "$1" -j"$jobs"
  ctest --preset "$1" -j"$jobs"
}

run_tests linux
run_tests asan
run_tests tsan

# A few seconds per fuzz target here; see the README for longer runs.
echo "=== fuzz ==="
cmake --preset fuzz -DSHRINKDIR_WERROR=ON >/dev/null
cmake --build --preset fuzz -j"$jobs"
for target in pattern name quoting; do
  if ! output=$(build/fuzz/tests/fuzz/${target}_fuzzer -max_total_time="${FUZZ_SECONDS:-5}" \
      -max_len=300 -artifact_prefix=build/fuzz/ 2>&1); then
    echo "$output"
    exit 1
  fi
  echo "${target}_fuzzer: ${output##*$'\n'}"
done

# Make the tests' Wine prefix once, before tests start two at a time: a
# first start of Wine is slow and can trip a test that happens to race it.
mkdir -p build/windows
WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all wineboot --init >/dev/null 2>&1
WINEPREFIX="$root/build/windows/wineprefix" wineserver -w
run_tests windows

echo "=== packages ==="
scripts/check-packages.sh
