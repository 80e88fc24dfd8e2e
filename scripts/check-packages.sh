#!/usr/bin/env bash
# Builds the .deb (and the Windows .zip when that build exists) from the
# configured builds and checks them: the .deb's program runs from a scratch
# root on the bundled samples, and its man page renders.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd build/linux && cpack -G DEB -B package >/dev/null)
deb=$(ls build/linux/package/shrinkdir_*.deb)
echo "package: $deb"
dpkg-deb -f "$deb" Depends | grep -q '\boptipng\b' || { echo "Depends lacks optipng" >&2; exit 1; }
dpkg -x "$deb" "$scratch/root"

mkdir "$scratch/images"
cp samples/*.png samples/*.bmp "$scratch/images/"
"$scratch/root/usr/bin/shrinkdir" "$scratch/images/" 2 2 >"$scratch/out"
reports=$(grep -c ' file) ' "$scratch/out")
expected=$(ls samples/*.png samples/*.bmp | wc -l)
[ "$reports" -eq "$expected" ] || { echo "installed program printed $reports reports, not $expected" >&2; exit 1; }
echo "installed program: $reports reports, exit 0"

man -l "$scratch/root/usr/share/man/man1/shrinkdir.1.gz" >"$scratch/man" 2>"$scratch/man.err"
grep -q 'EXIT STATUS' "$scratch/man" || { cat "$scratch/man.err" >&2; exit 1; }
[ ! -s "$scratch/man.err" ] || { echo "man reports:" >&2; cat "$scratch/man.err" >&2; exit 1; }
echo "man page: $(wc -l <"$scratch/man") lines rendered"

if [ -f build/windows/CPackConfig.cmake ]; then
  (cd build/windows && cpack -G ZIP -B package >/dev/null)
  zip=$(ls build/windows/package/shrinkdir-*-windows-x86_64.zip)
  listing=$(cmake -E tar tf "$zip")
  for member in shrinkdir.exe README.md; do
    grep -q "/$member\$" <<<"$listing" || { echo "$zip lacks $member" >&2; exit 1; }
  done
  echo "package: $zip"
fi
