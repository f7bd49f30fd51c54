#!/usr/bin/env bash
# Installs, builds what the station needs (the program, the camera control and its registration
# tool, the JPEG encoder, the set-up tool, the virtual cameras; scripts/test.sh builds the tests),
# prepares the demo program folder demo/ (settings, templates, pictures, sounds, an SQLite
# database with members), makes sure the CUPS scheduler runs with its PDF printer queue, and
# starts Velmor.
# The demo keeps to files of its own: its data source "Pardix" is in demo/odbc.ini and its camera
# control registry in demo/com-registry.json, both given to the programs it runs (ODBCINI,
# VELMOR_COM_REGISTRY), so that a station of this user's keeps its own "Pardix" and control.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh Velmor Ornik jpencode regsvr velmor-setup gstornikvirtcam
bash scripts/start-cups.sh  # the printer dialog then lists the PDF queue
mkdir -p demo
export ODBCINI="$PWD/demo/odbc.ini"
export VELMOR_COM_REGISTRY="$PWD/demo/com-registry.json"
build/bin/velmor-setup demo --demo --use-dsn
echo "demo: the data source Pardix of $ODBCINI; your own data sources are left as they are"
bash scripts/install-program.sh build/bin demo
if [ -x build/bin/regsvr ] && [ -f build/bin/libOrnik.so ]; then
  build/bin/regsvr demo/libOrnik.so
fi
if [ "${VELMOR_NO_START:-0}" = 1 ]; then exit 0; fi
exec demo/Velmor
