# Debian packages the project needs; sourced by ./run and ./test.
BUILD_PACKAGES=(build-essential cmake pkg-config libsdl2-dev libgl-dev libgl1-mesa-dri
  libpng-dev libfreetype-dev libvorbis-dev libogg-dev fonts-dejavu-core)
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils
  libgl1-mesa-dri mesa-utils clang clang-format libclang-rt-dev imagemagick sox python3
  dpkg-dev file lintian desktop-file-utils appstream)

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
