#!/usr/bin/env bash
# Times Tirrow and GrumboChorus next to comparable effects from Debian's
# packages, in one run: the LADSPA state-variable filter (swh-plugins; it runs
# its filter twice per sample) and choruses (swh-plugins, caps) through
# `fxhost bench`, exactly as the bundles are timed, and sox's bandpass and
# chorus as a program.
#
# Every figure is ns per stereo frame of 44.1 kHz audio at 512-frame blocks,
# the best of RUNS runs, twice over: by the clock on the wall around the
# processing calls, and by the CPU time of the processing loop, which other
# work on a busy machine inflates less. sox is timed on a stereo file of the
# same length: its run with the effect minus its plain copy of the file (wall
# time, and user plus system CPU time), divided by the frames.
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

min() { awk -v a="$1" -v b="$2" 'BEGIN {print (b == "" || a + 0 < b + 0) ? a : b}'; }

# report NAME WALL_NS CPU_NS
report() {
    awk -v name="$1" -v wall="$2" -v cpu="$3" -v rate="$rate" 'BEGIN {
        printf "%-48s %7.1f %7.1f %8.0fx %8.0fx\n", name, wall, cpu, 1e9 / (wall * rate),
               1e9 / (cpu * rate) }'
}

# bench NAME ARGS...: fxhost bench, best of RUNS.
bench() {
    local name=$1 wall="" cpu="" out
    shift
    for ((i = 0; i < runs; i++)); do
        out=$("$fxhost" bench "$@" --seconds "$seconds" --block 512)
        wall=$(min "$(awk -F': *' '/^ns per stereo frame/ {print $2}' <<<"$out")" "$wall")
        cpu=$(min "$(awk -F': *' '/^cpu ns per stereo frame/ {print $2}' <<<"$out")" "$cpu")
    done
    report "$name" "$wall" "$cpu"
}

# sox_times ARGS...: "WALL_NS CPU_NS" of one sox run.
sox_times() {
    local start end cpu
    TIMEFORMAT='%3U %3S'
    start=$(date +%s%N)
    cpu=$( { time sox --buffer 1024 "$@" >/dev/null 2>&1; } 2>&1)
    end=$(date +%s%N)
    awk -v w=$((end - start)) -v c="$cpu" 'BEGIN {split(c, t, " "); print w, (t[1] + t[2]) * 1e9}'
}

# sox_best ARGS...: best wall and best CPU time of RUNS runs.
sox_best() {
    local wall="" cpu="" t
    for ((i = 0; i < runs; i++)); do
        t=$(sox_times "$@")
        wall=$(min "${t% *}" "$wall")
        cpu=$(min "${t#* }" "$cpu")
    done
    echo "$wall $cpu"
}

echo "ns per stereo frame at 512-frame blocks, $seconds s of stereo audio at $rate Hz, best of $runs"
printf "%-48s %7s %7s %9s %9s\n" "" "wall" "cpu" "rt(wall)" "rt(cpu)"
bench "Tirrow (default program: low pass)" "$bundles/Tirrow.component"
bench "Tirrow (program 9: all five responses, drive)" "$bundles/Tirrow.component" --program 9
bench "GrumboChorus (defaults)" "$bundles/GrumboChorus.component"
bench "GrumboChorus (full depth)" "$bundles/GrumboChorus.component" --set 0=1
bench "LADSPA svf (swh, band pass, 2 instances)" "$ladspa/svf_1214.so" \
    --set 2=3 --set 3=1000 --set 5=0.5
bench "LADSPA multivoiceChorus (swh, 2 voices, 2 inst.)" \
    "$ladspa/multivoice_chorus_1201.so" --set 0=2
bench "LADSPA ChorusI (caps, defaults, 2 instances)" "$ladspa/caps.so" --label ChorusI

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -n -r "$rate" -c 2 -e floating-point -b 32 "$work/in.wav" synth "$seconds" \
    pinknoise vol 0.5
# sox's buffer of 1024 samples is 512 stereo frames.
read -r plainWall plainCpu <<<"$(sox_best "$work/in.wav" "$work/out.wav")"
for effect in "bandpass 1000 200" "chorus 0.7 0.9 55 0.4 0.25 2 -t"; do
    # shellcheck disable=SC2086
    read -r wall cpu <<<"$(sox_best "$work/in.wav" "$work/out.wav" $effect)"
    report "sox $effect" \
        "$(awk -v a="$wall" -v b="$plainWall" -v f="$frames" 'BEGIN {print (a - b) / f}')" \
        "$(awk -v a="$cpu" -v b="$plainCpu" -v f="$frames" 'BEGIN {print (a - b) / f}')"
done
