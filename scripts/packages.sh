# Debian 12 packages the build, the program and the tests need, and the
# installer that ./run and ./test share. Sourced, not run.

# Building and testing the mixer.
FADERWELL_BUILD_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev
)

# Make sure every named package is installed; install the missing ones at
# once, quietly, without questions. Says nothing when nothing is missing.
faderwell_ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' \
      || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
