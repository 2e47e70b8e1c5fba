# Debian packages the project needs, one list for every script: ./run builds and plays with
# BUILD_PACKAGES; ./test and tests/soak/run add TEST_PACKAGES; bench/report adds BENCH_PACKAGES.
# X_PACKAGES is what runs and watches a program under a private Xvfb (tools/xvfb.sh).
BUILD_PACKAGES=(build-essential cmake pkg-config libsdl2-dev libgl-dev libgl1-mesa-dri
  libpng-dev libfreetype-dev libvorbis-dev libogg-dev fonts-dejavu-core)
X_PACKAGES=(xvfb xauth xdotool x11-utils libgl1-mesa-dri mesa-utils imagemagick util-linux)
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev "${X_PACKAGES[@]}" clang clang-format
  libclang-rt-dev sox python3 dpkg-dev file lintian desktop-file-utils appstream weston)
BENCH_PACKAGES=(libbenchmark-dev libpixman-1-dev "${X_PACKAGES[@]}")

# Install whatever of the given packages is missing; nothing when all are present.
need_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
