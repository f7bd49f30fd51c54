#!/usr/bin/env bash
# The include check on small trees: a desk file including an admin file, common including a
# window folder and a platform layer including common each fail; the allowed directions pass.
set -u
check=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
tree() {  # tree NAME FILE INCLUDE...: a tree whose FILE includes each INCLUDE
  local dir="$tmp/$1" file=$2; shift 2
  mkdir -p "$dir/station/common" "$dir/station/desk" "$dir/station/admin" "$dir/platform/ui" \
           "$(dirname "$dir/$file")"
  : > "$dir/$file"
  for inc in "$@"; do printf '#include "%s"\n' "$inc" >> "$dir/$file"; done
  echo "$dir"
}
expect() {  # expect CODE NAME DIR
  bash "$check" "$3" >/dev/null 2>&1
  local got=$?
  if [ "$got" -ne "$1" ]; then
    echo "FAILED: $2 (exit $got, expected $1)"
    failures=$((failures + 1))
  else
    echo "ok: $2"
  fi
}
expect 1 "desk includes admin" "$(tree a station/desk/frmMain.cpp admin/frmSet.h)"
expect 1 "desk includes startup" "$(tree b station/desk/frmMain.cpp startup/frmLogin.h)"
expect 1 "common includes desk" "$(tree c station/common/mdlMail.cpp common/globals.h desk/frmMain.h)"
expect 1 "platform includes common" "$(tree d platform/ui/msgbox.cpp common/globals.h)"
expect 0 "desk includes common, itself and a layer" \
  "$(tree e station/desk/frmMain.cpp common/globals.h desk/frmChk.h ui/msgbox.h frmMain.h)"
expect 0 "the root wires every folder" "$(tree f station/wiring.cpp admin/frmSet.h desk/frmMain.h)"
echo "$((6 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
