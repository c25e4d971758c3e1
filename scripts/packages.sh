# Debian 12 packages the build, the program and the tests need, and the
# installer that ./run and ./test share. Sourced, not run.

# What the program needs to build and run.
FADERWELL_RUN_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  librtmidi-dev libjack-jackd2-dev libasound2-dev libpipewire-0.3-dev
  fonts-ipafont-gothic
  qt6-wayland
)

# What the tests add: GoogleTest, Google Benchmark (the dev build builds the
# bench tools), a display with xdotool to type into the real program, a
# headless Wayland compositor with a session bus, the AT-SPI bus and its
# Python client to read the program as a screen reader does, a JACK server
# and PipeWire with its JACK library for end-to-end runs, the Windows
# cross-compiler, clang for fuzzing, and clang-format for the format check.
FADERWELL_TEST_PACKAGES=(
  "${FADERWELL_RUN_PACKAGES[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool
  weston dbus-daemon at-spi2-core python3-pyatspi
  jackd2 jack-tools pipewire pipewire-jack
  g++-mingw-w64-x86-64
  clang libclang-rt-14-dev clang-format
  # The Windows tests: GoogleTest's sources to build it with MinGW, and Wine
  # to run them.
  googletest wine wine64
)

# What the long reliability run (./reliability) adds: valgrind.
FADERWELL_RELIABILITY_PACKAGES=(valgrind)

# What ./benchmark adds to the program's packages: Google Benchmark, a display
# for the start-up figures and a JACK server with its tools, and PipeWire
# with its JACK library, for the fade.
FADERWELL_BENCH_PACKAGES=(
  "${FADERWELL_RUN_PACKAGES[@]}"
  libbenchmark-dev
  # GoogleTest: the self-check of the measuring tools.
  libgtest-dev
  xvfb xauth
  jackd2 jack-tools pipewire pipewire-jack
)

# What ./package adds to the program's packages: dpkg-shlibdeps (dpkg-dev)
# and file, with which the package's dependencies are read off the binary.
FADERWELL_PACKAGE_PACKAGES=(
  "${FADERWELL_RUN_PACKAGES[@]}"
  dpkg-dev file
)
# ./test builds the package too and checks it with the freedesktop validators,
# the catalogue composer of software centres (appstream-compose), the
# hardening check (hardening-check, in devscripts) and lintian.
FADERWELL_TEST_PACKAGES+=(dpkg-dev file desktop-file-utils appstream appstream-compose devscripts
  lintian)

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
  if [ ${#sudo[@]} -gt 0 ] && ! command -v sudo >/dev/null 2>&1; then
    echo "Missing packages: ${missing[*]}; installing them needs root or sudo" >&2
    return 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq || return 1
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || return 1
}
