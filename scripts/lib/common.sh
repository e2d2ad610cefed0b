# Shared by the scripts: where things are, and installing what is missing.
# shellcheck shell=bash
VHB_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
VHB_BUILD="${VHB_BUILD:-$VHB_ROOT/build}"

# Debian packages the build, the tests and the helpers need.
VHB_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-format
  xvfb xauth x11-utils imagemagick trayer
  fonts-liberation2
  desktop-file-utils iproute2 util-linux procps python3
)

# Installs those of the Debian packages named that are missing; run again, it
# installs nothing. Returns non-zero when apt cannot install them (not root
# and no sudo, or apt fails), for the caller to stop or skip.
vhb_install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || {
      echo "Missing (run as root or install sudo): ${missing[*]}" >&2
      return 1
    }
    sudo=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  # Stale lists can still name what is wanted: an install from them may work.
  "${sudo[@]}" apt-get update -qq || echo "apt-get update failed; installing from the lists at hand" >&2
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

vhb_configure_and_build() {
  local werror=OFF
  [ "${CI:-}" = "true" ] && werror=ON
  cmake -S "$VHB_ROOT" -B "$VHB_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVHB_WERROR="$werror" "$@" >/dev/null
  cmake --build "$VHB_BUILD" -j "$(nproc)"
}

# Runs a command in a network namespace of its own with only loopback up, so
# nothing it sends can leave the machine.
vhb_isolated() {
  if [ "$(id -u)" -eq 0 ]; then
    unshare --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
  else
    unshare --user --map-root-user --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
  fi
}
