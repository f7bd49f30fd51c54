#!/usr/bin/env bash
# Installs, builds and runs the whole test suite (CTest over GoogleTest). The tests start their
# own SMTP, POP3 and FTP servers on free loopback ports and use a temporary ODBC data source.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
