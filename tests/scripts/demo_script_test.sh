#!/usr/bin/env bash
# demo_script_test.sh DEMO BIN: runs the demo script DEMO (without starting the program) in a
# checkout of its own whose build step is already done (BIN, the built programs), for a user whose
# data source "Pardix" names a station's database: an SQLite file in another folder, then a
# database on a PostgreSQL server. The user's data sources and control registry must stay as they
# were; the demo's data source is its own and names the demo's database.
set -u
demo=$1 bin=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

repo=$tmp/repo
mkdir -p "$repo/scripts" "$repo/build" "$tmp/home/.config/velmor"
cp "$demo" "$(dirname "$demo")/install-program.sh" "$repo/scripts/"
# The build and the printer queue are other scripts' work.
printf '#!/usr/bin/env bash\n' > "$repo/scripts/build.sh"
printf '#!/usr/bin/env bash\n' > "$repo/scripts/start-cups.sh"
ln -s "$bin" "$repo/build/bin"

export HOME=$tmp/home ODBCINI=$tmp/home/.odbc.ini VELMOR_COM_REGISTRY=$tmp/home/registry.json
export VELMOR_NO_START=1 QT_QPA_PLATFORM=offscreen
for station in "Driver = SQLite3
Database = /srv/velmor/Velmor.db
Timeout = 1000
NoCreat = 1" "Driver = PostgreSQL Unicode
Servername = 192.168.1.10
Port = 5432
Database = velmor"; do
  printf '[Pardix]\nDescription = Velmor station database\n%s\n' "$station" > "$ODBCINI"
  cp "$ODBCINI" "$tmp/before.ini"
  rm -rf "$repo/demo"
  out=$(bash "$repo/scripts/demo.sh" 2>&1) || fail "demo.sh failed: $out"
  cmp -s "$ODBCINI" "$tmp/before.ini" || fail "the user's Pardix was changed: $(cat "$ODBCINI")"
  [ ! -e "$VELMOR_COM_REGISTRY" ] || fail "the demo registered its control for the user"
  grep -qx "Database = $repo/demo/Velmor.db" "$repo/demo/odbc.ini" ||
    fail "the demo's data source does not name its database: $(cat "$repo/demo/odbc.ini")"
  [ "$(grep -c '^demo: the data source Pardix of ' <<<"$out")" -eq 1 ] ||
    fail "the demo does not say which data source it uses: $out"
done
echo "ok"
