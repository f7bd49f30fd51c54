#!/usr/bin/env bash
# install-program.sh BUILD_BIN_DIR PROGRAM_FOLDER: puts the station program Velmor and, when it was
# built, the camera control libOrnik.so with its compressor check ornik-compressor-check (which the
# control runs from its own folder) from the build's bin folder into the program folder.
# Each file is written to a temporary name in the program folder and renamed over the old one: a
# station running from that folder keeps the files it has mapped (their old inodes) and sees the
# new ones at its next start. Copying over them in place would change a mapped library under the
# running program.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_BIN_DIR PROGRAM_FOLDER" >&2
  exit 2
fi
from=$1
to=$2
mkdir -p "$to"
tmp=
trap '[ -z "$tmp" ] || rm -f "$tmp"' EXIT

place() {  # place NAME: BUILD_BIN_DIR/NAME to PROGRAM_FOLDER/NAME, its mode kept
  tmp=$(mktemp "$to/.$1.XXXXXX")
  cp --preserve=mode "$from/$1" "$tmp"
  mv -f -T "$tmp" "$to/$1"
  tmp=
}

place Velmor
if [ -f "$from/libOrnik.so" ]; then place libOrnik.so; fi
if [ -f "$from/ornik-compressor-check" ]; then place ornik-compressor-check; fi
if [ -f "$from/libjpencode.so" ]; then place libjpencode.so; fi
