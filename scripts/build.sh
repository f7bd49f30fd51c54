#!/usr/bin/env bash
# Installs the Debian packages and builds the project into build/ (BUILD_TYPE, default Release).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
cmake --build build -j"$(nproc)"
