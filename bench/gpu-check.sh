#!/usr/bin/env bash
# The prepared check of the graphics-card path, for a machine with a card (under ten minutes):
# builds what it needs, runs `stillgrain-cli selftest` (EGL: the device platform when there is no
# display server), then GPU against CPU on the 24-megapixel camera photo and the time of one colour
# denoise on the CPU, with --gpu --fusion (the fastest of two turns each) and with --gpu.
#
#   bench/gpu-check.sh [PHOTO]   (default: build/test-photos/sony-alpha-6000.jpg)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
photo=${1:-build/test-photos/sony-alpha-6000.jpg}
make --no-print-directory build photos >/dev/null
cmake --build build --target gpu_check >/dev/null
echo "== stillgrain-cli selftest"
build/stillgrain-cli selftest || true
echo "== GPU against CPU, $photo"
build/bench/gpu_check "$photo" --repeat 2
