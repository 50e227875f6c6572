#!/usr/bin/env bash
# The main job: installs what is missing, builds everything in Release into
# build/ (bundles in build/bundles, the host in build/bin/fxhost) and renders
# the demo into out/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DFX_TESTS=OFF -DFX_BENCHMARKS=ON >/dev/null
cmake --build build -j "$(nproc)"
scripts/demo.sh build out
