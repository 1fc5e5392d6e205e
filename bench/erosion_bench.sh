#!/bin/sh
# erosion_bench.sh BUILD OUTDIR: erode on random worlds of subdivision 6, 7
# and 8 beside our own drainage of the same world (globe-water-bench: one
# flood, directions and flow, the work of one erosion step's routing), and
# generate --terrain plates at subdivision 7 and 8 beside the random world's
# generate, in the same run. Appends the section "Erosion" to
# OUTDIR/performance.md (replacing an older one) and its rows to
# OUTDIR/performance.csv. `make bench` runs it; `make bench-erosion` alone.
# Needs /usr/bin/time.
set -eu
build=$1
out=$2
globe=$build/tools/globe-world
bench=$build/bench/globe-water-bench
work=$(mktemp -d "${TMPDIR:-/tmp}/erosion-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=benchlib.sh
. "$(dirname "$0")/benchlib.sh"

command -v /usr/bin/time >/dev/null || { echo "erosion_bench.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }

# timed COMMAND...: runs COMMAND; prints "seconds KiB"
timed() {
    /usr/bin/time -v -o "$work/t" "$@" >"$work/out" 2>&1
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i] }
                /Maximum resident set size/ { m = $2 } END { print s, m }' "$work/t"
}

: >"$work/csv"
{
    echo "## Erosion"
    echo
    echo "Written by bench/erosion_bench.sh (make bench, or make bench-erosion alone) on $(date +%Y-%m-%dT%H:%M:%S). erode with its defaults (50 steps) on a random world (\`generate --terrain random\`) beside our own drainage of the same world (\`globe-water-bench\`, one run: loading, then one flood, flats, directions and flow); \`generate --terrain plates\` beside \`generate --terrain random\` of the same subdivision. Wall time and peak RSS from /usr/bin/time -v, in the same run; this machine is shared, so wall times vary with its load. Aims: erode at S = 8 in at most 15 s and 1 GiB, plates at S = 8 in at most 30 s."
    echo
    echo "| Command | S | Vertices | Ours | Reference | Reference's time | Ratio | Our peak RSS |"
    echo "| --- | --- | --- | --- | --- | --- | --- | --- |"
    for s in 6 7 8; do
        world=$work/world$s
        "$globe" generate "$world" --subdivision "$s" >/dev/null
        set -- $(timed "$globe" erode "$world") $(timed "$bench" "$world" 1)
        awk -v s="$s" -v n="$((10 * (1 << (2 * s)) + 2))" -v tri="$((20 * (1 << (2 * s))))" -v ot="$1" -v om="$2" -v rt="$3" 'BEGIN {
            printf "| erode | %d | %d | %.2f s | our drainage | %.2f s | %.1f | %.0f MiB |\n", s, n, ot, rt, ot / rt, om / 1024
            printf "erode,our drainage,%d,%d,%.3f,%.3f,%.4f,s\n", s, tri, ot, rt, ot / rt > "/dev/stderr"
        }' 2>>"$work/csv"
    done
    for s in 7 8; do
        set -- $(timed "$globe" generate "$work/plates$s" --terrain plates --subdivision "$s") \
            $(timed "$globe" generate "$work/random$s" --terrain random --subdivision "$s")
        awk -v s="$s" -v n="$((10 * (1 << (2 * s)) + 2))" -v tri="$((20 * (1 << (2 * s))))" -v ot="$1" -v om="$2" -v rt="$3" 'BEGIN {
            printf "| generate --terrain plates | %d | %d | %.2f s | generate --terrain random | %.2f s | %.1f | %.0f MiB |\n", s, n, ot, rt, ot / rt, om / 1024
            printf "erode: plates world,generate --terrain random,%d,%d,%.3f,%.3f,%.4f,s\n", s, tri, ot, rt, ot / rt > "/dev/stderr"
        }' 2>>"$work/csv"
    done
} >"$work/section"

publish "$out" "Erosion" erode
