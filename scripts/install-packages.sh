#!/usr/bin/env bash
# Installs the Debian packages of scripts/debian-packages.txt that are not there yet.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
want=$(grep -vE '^\s*(#|$)' "$here/debian-packages.txt")
missing=()
for p in $want; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# a UTF-8 locale for the ODBC driver manager (Japanese text in SQL)
if ! locale -a 2>/dev/null | grep -qi '^c\.utf-\?8$'; then
  echo "warning: no C.UTF-8 locale" >&2
fi
