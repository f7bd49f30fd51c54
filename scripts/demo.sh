#!/usr/bin/env bash
# Installs, builds, prepares the demo program folder demo/ (settings, templates, pictures,
# sounds, an SQLite database with members behind the data source "Pardix"), makes sure the CUPS
# scheduler runs with its PDF printer queue, and starts Velmor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bash scripts/start-cups.sh  # the printer dialog then lists the PDF queue
mkdir -p demo
build/bin/velmor-setup demo --demo --use-dsn
bash scripts/install-program.sh build/bin demo
if [ -x build/bin/regsvr ] && [ -f build/bin/libOrnik.so ]; then
  build/bin/regsvr demo/libOrnik.so
fi
if [ "${VELMOR_NO_START:-0}" = 1 ]; then exit 0; fi
exec demo/Velmor
