# Sourced by play.sh and test.sh: installs the Debian packages given as
# arguments when any of them is missing, as root or through sudo, and does
# nothing when all are there. What it installs is told on standard error.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || {
      echo "missing packages: ${missing[*]} (run as root or install sudo)" >&2
      return 1
    }
    sudo=(sudo)
  fi
  echo "installing ${missing[*]} (apt-get)..." >&2
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# What building needs; debian/control's Build-Depends lists the same.
BUILD_PACKAGES=(g++ make cmake pkg-config libsdl1.2-dev libsdl-mixer1.2-dev libsndfile1-dev
  libsoxr-dev liblo-dev libsystemd-dev)
