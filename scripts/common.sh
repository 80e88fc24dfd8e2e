# Helpers shared by the project's scripts. Source it; do not run it.

# Installs the Debian packages among "$@" that are not installed yet.
install_missing() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# The packages every build needs.
BUILD_PACKAGES=(cmake make g++ optipng)

# What cross-compiling for Windows and testing under Wine need.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64)
