#!/usr/bin/env bash
# Builds shrinkdir and runs it.
#   scripts/run.sh            optimise a scratch copy of the bundled samples
#   scripts/run.sh ARGS...    run shrinkdir ARGS... (DIR_PREFIX THREADS LEVEL)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/common.sh"

install_missing "${BUILD_PACKAGES[@]}"
cmake --preset release -S "$root" >/dev/null
cmake --build "$root/build/release" --target shrinkdir -j"$(nproc)" >/dev/null
program="$root/build/release/shrinkdir"

if [ $# -gt 0 ]; then
  exec "$program" "$@"
fi

# The checkout's samples stay as they are: work on a copy.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$root"/samples/*.png "$root"/samples/*.bmp "$scratch/"
status=0
"$program" "$scratch/" "$(nproc)" 2 || status=$?
exit "$status"
