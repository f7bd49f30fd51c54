#!/usr/bin/env bash
# Installs, builds and runs the whole test suite (CTest over GoogleTest). The tests start their
# own SMTP, POP3 and FTP servers on free loopback ports and use a temporary ODBC data source; the
# CUPS scheduler and its PDF queue are started first when they are not running.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bash scripts/start-cups.sh >/dev/null  # the print tests print on the machine's PDF queue too
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
