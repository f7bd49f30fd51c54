#!/usr/bin/env bash
# install_program_test.sh INSTALL PROBE ORNIK OTHER_EXE OTHER_LIB
# A program folder holds the probe as Velmor and the built libOrnik.so; while the probe runs from
# it and calls into the library, INSTALL puts a build of OTHER_EXE and OTHER_LIB in their place.
# The probe must run on to its normal end, and the folder must hold the new files under new
# inodes, the executable still executable, and no temporary file left behind.
set -u
install=$1 probe=$2 ornik=$3 other_exe=$4 other_lib=$5
tmp=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

folder=$tmp/program build=$tmp/build
mkdir -p "$folder" "$build"
cp "$probe" "$folder/Velmor"
cp "$ornik" "$folder/libOrnik.so"
cp "$other_exe" "$build/Velmor"
cp "$other_lib" "$build/libOrnik.so"
cmp -s "$build/libOrnik.so" "$folder/libOrnik.so" && fail "the two libraries are the same"
oldExe=$(stat -c %i "$folder/Velmor")
oldLib=$(stat -c %i "$folder/libOrnik.so")

"$folder/Velmor" "$tmp/installed" > "$tmp/probe.out" 2>&1 &
pid=$!
for _ in $(seq 200); do
  grep -q ready "$tmp/probe.out" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
grep -q ready "$tmp/probe.out" || fail "the probe did not start: $(cat "$tmp/probe.out")"

bash "$install" "$build" "$folder" || fail "install-program.sh failed"
touch "$tmp/installed"
wait "$pid"
rc=$?
pid=
[ "$rc" -eq 0 ] || fail "the running program ended with $rc (a signal is 128 + its number)"

for name in Velmor libOrnik.so; do
  cmp -s "$build/$name" "$folder/$name" || fail "$name is not the new build's"
done
[ "$(stat -c %i "$folder/Velmor")" != "$oldExe" ] || fail "Velmor was rewritten in place"
[ "$(stat -c %i "$folder/libOrnik.so")" != "$oldLib" ] || fail "libOrnik.so was rewritten in place"
[ -x "$folder/Velmor" ] || fail "Velmor lost its executable bit"
left=$(ls -A "$folder" | grep -v -x -e Velmor -e libOrnik.so)
[ -z "$left" ] || fail "left behind: $left"
echo "ok"
