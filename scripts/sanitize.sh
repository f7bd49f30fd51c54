#!/usr/bin/env bash
# Builds the project with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer into
# build-sanitize/ (Debug) and runs the whole test suite under them. JOBS sets the build's and the
# suite's parallelism (default: the number of processors); ccache is used when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-$(nproc)}"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMOR_ASAN=ON "${launcher[@]}" >/dev/null
cmake --build build-sanitize -j"$jobs"

bash scripts/start-cups.sh >/dev/null  # the print tests print on the machine's PDF queue too
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
# fast_unwind_on_malloc=0: whole stacks for allocations, so that a suppression can name the
# library call that made them even through frames built without frame pointers.
export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs" --timeout 900
