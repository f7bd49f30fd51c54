#!/usr/bin/env bash
# Runs the camera control's host sessions under valgrind's memcheck: recording (raw, MJPEG and
# H.264 AVI with sound), the pin property sheets around a recording, playing files, stills from
# files and cuts, each through the control's dispatch interface as the tests drive it. Builds
# nothing: it runs the test programs of an existing build (first argument, default build/).
# Exits 1 when valgrind reports an invalid access or a use of uninitialised values in any session,
# 2 when a session's own checks failed; the logs stay in VALGRIND_LOGS (default a temporary folder).
# Slow (several minutes): not part of CI.
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
bin="$build/bin"
for program in test_ornik_properties test_ornik_playback; do
  [[ -x "$bin/$program" ]] || { echo "no $bin/$program: build the project first" >&2; exit 2; }
done
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
logs="${VALGRIND_LOGS:-$work/logs}"
mkdir -p "$logs"

# A private plugin registry without the libav and chromaprint plugins: valgrind 3.19 cannot run the
# code libhwy (which both pull in) starts when it is loaded. The sessions below use none of their
# elements; recording ASF (avenc_wmv2, avenc_wmav2) needs libav and is therefore not run here.
plugins="$work/plugins"
mkdir -p "$plugins"
system_plugins="$(pkg-config --variable=pluginsdir gstreamer-1.0 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/gstreamer-1.0)"
for plugin in "$system_plugins"/*.so; do
  case "$(basename "$plugin")" in
    libgstlibav.so | libgstchromaprint.so) ;;
    *) ln -s "$plugin" "$plugins/" ;;
  esac
done
export GST_REGISTRY="$work/registry.bin" GST_PLUGIN_SYSTEM_PATH_1_0="$plugins"
unset GST_PLUGIN_PATH GST_PLUGIN_PATH_1_0
export QT_QPA_PLATFORM=offscreen
# The recording session records once with each encoder before the recordings it checks: the first
# run of an encoder's code under valgrind keeps the camera's thread from its turn for a while.
export ORNIK_TEST_WARM_UP_ENCODERS=1
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work/runtime}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

sessions=(
  "record|test_ornik_properties|PropertyDialog.RecordingsThroughTheMembersInEveryAviCoding"
  "pin-property|test_ornik_properties|PropertyDialog.PinSheet*"
  "play|test_ornik_playback|Playback.FrameCountsAndPartPlayBounds:Playback.PartPlay*:Playback.RatesPauseStopAndSeeks:Playback.AFileWithoutFixedRate*:Playback.GrabberCallback*:Playback.AHostMayUnload*"
  "still|test_ornik_playback|Playback.Stills*:Playback.CallsDuringAStillsWait*"
  "cut|test_ornik_playback|Playback.ACutOf*:Playback.Timelines*:Playback.ARawAviOfAnotherWriter*:Playback.ASlowRender*"
  # Cuts of every size and coding, H.264 ones among them, decoded back by openh264dec (libav's
  # decoder is left out above): openh264 leaves parts of its B-frame predictions undefined
  # (WelsDec::GetInterBPred) and the test compares those pixels. Invalid accesses only.
  "cut-codings|test_ornik_playback|Playback.EveryFrameOfACut*|--undef-value-errors=no"
)
errors=0
failed=0
for session in "${sessions[@]}"; do
  IFS='|' read -r name program filter options <<<"$session"
  log="$logs/$name.log"
  valgrind --tool=memcheck --error-exitcode=99 --errors-for-leak-kinds=none --num-callers=40 \
    --suppressions=scripts/valgrind-camera.supp --log-file="$log" ${options:-} \
    "$bin/$program" --gtest_filter="$filter" >"$logs/$name.out" 2>&1
  status=$?
  summary="$(grep -h 'ERROR SUMMARY' "$log" | tail -1 | sed 's/^==[0-9]*== //')"
  if [[ $status -eq 99 ]]; then
    errors=1
    echo "$name: valgrind errors ($summary), see $log"
  elif [[ $status -ne 0 ]]; then
    failed=1
    echo "$name: the session's checks failed (exit $status), see $logs/$name.out"
  else
    echo "$name: clean ($summary)"
  fi
done
if [[ -z "${VALGRIND_LOGS:-}" && ($errors -ne 0 || $failed -ne 0) ]]; then
  cp -r "$logs" /tmp/valgrind-camera-logs.$$ && echo "logs kept in /tmp/valgrind-camera-logs.$$"
fi
[[ $errors -eq 0 ]] || exit 1
[[ $failed -eq 0 ]] || exit 2
exit 0
