# Debian packages that building and testing Korvel needs; sourced by the scripts.

KORVEL_BUILD_PACKAGES=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  clang libclang-rt-14-dev
  iproute2 procps util-linux nftables
  python3 python3-jsonschema
)

# Making and checking the Debian package (scripts/package, ctest -L package).
KORVEL_PACKAGE_PACKAGES=(dpkg-dev file binutils lintian desktop-file-utils appstream man-db
  libcap2-bin)

KORVEL_GUI_PACKAGES=(xvfb xauth fonts-dejavu-core qt6-translations-l10n imagemagick openbox xdotool)

# The windows' liveness check in scripts/bench: bench/window_ping.py runs on Debian's python3.
KORVEL_BENCH_WINDOW_PACKAGES=(python3-xlib)

# The Windows build: MinGW-w64 cross-compilers and Wine to run what they build (scripts/test-windows).
KORVEL_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 wine wine64)

# Installs whatever of the given packages is missing; quiet when all are there.
korvel_install_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: ${missing[*]}; run as root to install them." >&2
    return 1
  fi
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
