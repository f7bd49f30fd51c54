#!/usr/bin/env bash
# build.sh [TARGET...]: installs the Debian packages and builds the project into build/
# (BUILD_TYPE, default Release; VELMOR_WERROR=ON makes every compiler warning an error, as CI
# builds): the targets named, or everything (the tests and benchmarks too) when none is named.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" \
  -DVELMOR_WERROR="${VELMOR_WERROR:-OFF}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
