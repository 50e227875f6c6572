#!/usr/bin/env bash
# The tests: installs what is missing, builds the test configuration in
# build-tests/ with AddressSanitizer and UndefinedBehaviorSanitizer, starts an
# X server for the tests that need a display, and runs the whole CTest suite.
# Extra arguments go to ctest (for example: scripts/test.sh -L dsp).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFX_SANITIZE=ON -DFX_TESTS=ON \
    -DFX_BENCHMARKS=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-tests -j "$(nproc)"

xvfb_pid=""
cleanup() { [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [[ -z "${DISPLAY:-}" ]]; then
    # Pick the first display number nobody holds.
    for n in $(seq 99 140); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        break
    done
    for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
ctest --test-dir build-tests --output-on-failure -j "$(nproc)" "$@"
