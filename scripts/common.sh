# Shared by ./run and ./test: installs what the build needs and builds.
# Sourced, not run.

FRAMBIT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FRAMBIT_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libcli11-dev libfmt-dev ffmpeg qt6-base-dev fonts-wqy-microhei)
# The free-space tests make real file systems and partition tables in image files.
FRAMBIT_PACKAGES+=(dosfstools exfatprogs ntfs-3g e2fsprogs mtools fdisk)

say() { printf '%s\n' "$*" >&2; }

# Installs the Debian packages from FRAMBIT_PACKAGES that are missing.
ensure_packages() {
  local missing=()
  for package in "${FRAMBIT_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  say "Installing missing packages: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# build_tree DIR [cmake options...]: configures DIR once, then builds what changed.
build_tree() {
  local dir=$1
  shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$FRAMBIT_ROOT" -B "$dir" -G Ninja "$@" >&2
  fi
  cmake --build "$dir" -j "$(nproc)" >&2
}
