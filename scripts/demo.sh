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

# Grizzbox2: clean (stomp off), stomp on at the defaults, full fuzz at -6 dB,
# and full fuzz with the tone filter turned down.
render Grizzbox2.vst grizzbox2-clean.wav --set 3=0
render Grizzbox2.vst grizzbox2-stomp-defaults.wav
render Grizzbox2.vst grizzbox2-full-fuzz.wav --set 0=1.0 --set 2=0.62
render Grizzbox2.vst grizzbox2-full-fuzz-dark.wav --set 0=1.0 --set 1=0.3 --set 2=0.62

# Tirrow: a few of its factory programs, and the low pass opened step by step
# with MIDI controller 50 (cutoff) during the render.
render Tirrow.component tirrow-low-pass.wav --program 1
render Tirrow.component tirrow-band-pass.wav --program 3
render Tirrow.component tirrow-full-ahead-warp-speed.wav --program 9
render Tirrow.component tirrow-grimey.wav --program 10
render Tirrow.component tirrow-low-pass-opening.wav --program 1 --cc 50=2@0 --cc 50=5@1 \
    --cc 50=12@2 --cc 50=30@3

# GrumboChorus: at its defaults and at full depth.
render GrumboChorus.component grumbochorus-defaults.wav
render GrumboChorus.component grumbochorus-full-depth.wav --set 0=1.0

if ((rendered == 0)); then
    echo "demo: no plug-in is built yet; nothing rendered"
fi
