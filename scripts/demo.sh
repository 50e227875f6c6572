#!/usr/bin/env bash
# Renders the demo: every plug-in that is built, over fxhost's built-in test
# signal, at a few settings each. Usage: scripts/demo.sh BUILD_DIR OUT_DIR
set -euo pipefail

build=${1:-build}
out=${2:-out}
fxhost="$build/bin/fxhost"
bundles="$build/bundles"
mkdir -p "$out"

rendered=0
# render BUNDLE OUTPUT [fxhost render arguments...]
render() {
    local bundle=$1 output=$2
    shift 2
    [[ -e "$bundles/$bundle" ]] || return 0
    "$fxhost" render "$bundles/$bundle" -o "$out/$output" "$@"
    echo "demo: $out/$output"
    rendered=$((rendered + 1))
}

# One block of renders per plug-in.

if ((rendered == 0)); then
    echo "demo: no plug-in is built yet; nothing rendered"
fi
