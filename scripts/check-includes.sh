#!/usr/bin/env bash
# Checks the include directions of the station program's folders (ROOT defaults to this tree):
#   common/                       includes common/ and the platform layers only;
#   startup/ desk/ admin/ history/ include their own folder, common/ and the platform layers, never
#                                 one another (windows of two folders meet through the navigation
#                                 module of common/);
#   setup/                        includes common/ and the platform layers;
#   platform/                     includes no station folder.
# The station's root files (main.cpp, wiring.cpp) may include every folder. Prints each include
# against these directions and exits 1 when there is one.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
station_folders="common startup desk admin history setup"
bad=0
check() {  # check FILE ALLOWED-FOLDERS...
  local file=$1; shift
  local line target folder
  while IFS= read -r line; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"${line#*:}")
    folder=${target%%/*}
    [ "$folder" = "$target" ] && continue  # a header of the same folder, named alone
    case " $station_folders " in *" $folder "*) ;; *) continue ;; esac  # a platform layer
    case " $* " in *" $folder "*) continue ;; esac
    echo "$file:${line%%:*}: includes \"$target\"" >&2
    bad=1
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
}
for dir in "$root"/station/*/; do
  folder=$(basename "$dir")
  case $folder in
    common) allowed="common" ;;
    startup|desk|admin|history) allowed="common $folder" ;;
    setup) allowed="common setup" ;;
    *) allowed="common $folder" ;;
  esac
  while IFS= read -r -d '' f; do check "$f" $allowed; done \
    < <(find "$dir" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
done
if [ -d "$root/platform" ]; then
  while IFS= read -r -d '' f; do check "$f" ""; done \
    < <(find "$root/platform" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
fi
if [ "$bad" -ne 0 ]; then
  echo "include directions: failed" >&2
  exit 1
fi
echo "include directions: ok"
