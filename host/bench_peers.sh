#!/usr/bin/env bash
# Times Tirrow and GrumboChorus next to comparable effects from Debian's
# packages, in one run: the LADSPA state-variable filter (swh-plugins; it runs
# its filter twice per sample) and choruses (swh-plugins, caps) through
# `fxhost bench`, exactly as the bundles are timed, and sox's bandpass and
# chorus as a program. Every figure is ns per stereo frame of 44.1 kHz audio
# at 512-frame blocks; each is the best of RUNS runs, so that other work on
# the machine inflates it as little as possible.
#
# sox is timed on a stereo file of the same length: its run with the effect
# minus its plain copy of the file, divided by the frames.
#
# Usage: host/bench_peers.sh [BUILD_DIR] [SECONDS] [RUNS]
set -euo pipefail

build=${1:-build}
seconds=${2:-20}
runs=${3:-5}
fxhost="$build/bin/fxhost"
bundles="$build/bundles"
ladspa=/usr/lib/ladspa
rate=44100
frames=$((seconds * rate))

# best_fxhost NAME ARGS...: the smallest "ns per stereo frame" of RUNS runs.
best_fxhost() {
    local name=$1 best="" ns
    shift
    for ((i = 0; i < runs; i++)); do
        ns=$("$fxhost" bench "$@" --seconds "$seconds" --block 512 |
            awk -F': *' '/^ns per stereo frame/ {print $2}')
        best=$(awk -v a="$ns" -v b="$best" 'BEGIN {print (b == "" || a < b) ? a : b}')
    done
    report "$name" "$best"
}

# report NAME NS: one line with the real-time factor and per-channel time.
report() {
    awk -v name="$1" -v ns="$2" -v rate="$rate" 'BEGIN {
        printf "%-44s %9.1f ns/stereo frame %8.1f ns/channel frame %9.0fx real time\n",
               name, ns, ns / 2, 1e9 / (ns * rate) }'
}

# Wall time in ns of a command (best of RUNS).
best_wall() {
    local best="" start end
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        best=$(awk -v a=$((end - start)) -v b="$best" 'BEGIN {print (b == "" || a < b) ? a : b}')
    done
    echo "$best"
}

echo "ns per stereo frame, 512-frame blocks, $seconds s of stereo audio at $rate Hz, best of $runs"
best_fxhost "Tirrow (default program: low pass)" "$bundles/Tirrow.component"
best_fxhost "Tirrow (program 9: all five responses, drive)" "$bundles/Tirrow.component" --program 9
best_fxhost "GrumboChorus (defaults)" "$bundles/GrumboChorus.component"
best_fxhost "GrumboChorus (full depth)" "$bundles/GrumboChorus.component" --set 0=1
best_fxhost "LADSPA svf (swh, band pass, 2 instances)" "$ladspa/svf_1214.so" \
    --set 2=3 --set 3=1000 --set 5=0.5
best_fxhost "LADSPA multivoiceChorus (swh, 2 voices, 2 inst.)" \
    "$ladspa/multivoice_chorus_1201.so" --set 0=2
best_fxhost "LADSPA ChorusI (caps, defaults, 2 instances)" "$ladspa/caps.so" --label ChorusI

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -n -r "$rate" -c 2 -e floating-point -b 32 "$work/in.wav" synth "$seconds" \
    pinknoise vol 0.5
# sox's buffer of 1024 samples is 512 stereo frames.
plain=$(best_wall sox --buffer 1024 "$work/in.wav" "$work/out.wav")
for effect in "bandpass 1000 200" "chorus 0.7 0.9 55 0.4 0.25 2 -t"; do
    # shellcheck disable=SC2086
    with=$(best_wall sox --buffer 1024 "$work/in.wav" "$work/out.wav" $effect)
    report "sox $effect" "$(awk -v w="$with" -v p="$plain" -v f="$frames" \
        'BEGIN {print (w - p) / f}')"
done
