#!/bin/sh
# water_bench.sh BUILD OUTDIR: the drainage (water/) of Earth worlds of
# subdivision 6, 7 and 8 beside SAGA's fill-sinks (Wang & Liu) and
# flow-accumulation (top-down, D8) on an equirectangular grid of as many
# cells, the world's own heightmap, in the same run. Appends the section
# "Drainage" to OUTDIR/performance.md (replacing an older one) and its rows to
# OUTDIR/performance.csv, then the section "The rivers command": the whole
# command beside its drainage on the same worlds. `make bench` runs it; `make bench-water` alone.
# Needs saga (saga_cmd) and /usr/bin/time.
#
# Ours: globe-water-bench, the median of RUNS computations (5) in one
# process, and the wall time and peak RSS of a whole run (load and one
# computation). SAGA: the two saga_cmd runs' wall times added (the median of
# three pairs), the larger
# peak RSS; also SAGA's start-up, the same runs on a 2 x 1 grid. Ratio = our
# whole run / SAGA's.
set -eu
build=$1
out=$2
runs=${RUNS:-5}
globe=$build/tools/globe-world
bench=$build/bench/globe-water-bench
work=$(mktemp -d "${TMPDIR:-/tmp}/water-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=benchlib.sh
. "$(dirname "$0")/benchlib.sh"

for tool in saga_cmd /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "water_bench.sh: $tool is missing (apt-get install saga time)" >&2; exit 1; }
done


# sagaruns GRID: fill-sinks then flow accumulation of GRID.tif, three times;
# prints the median of the pairs' wall times added and the largest peak RSS
sagaruns() {
    : >"$work/pairs"
    for run in 1 2 3; do
        : >"$work/saga"
        timed "$work/saga" saga_cmd ta_preprocessor 4 -ELEV "$1.tif" -FILLED "$1-filled.sdat"
        timed "$work/saga" saga_cmd ta_hydrology 0 -ELEVATION "$1-filled.sdat" -FLOW "$1-flow.sdat" -METHOD 0
        awk '{ t += $1; if ($2 > m) m = $2 } END { print t, m }' "$work/saga" >>"$work/pairs"
    done
    median <"$work/pairs"
}

# timed FILE COMMAND...: runs COMMAND; appends "seconds KiB" to FILE
timed() {
    file=$1
    shift
    /usr/bin/time -v -o "$work/t" "$@" >"$work/out" 2>&1
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i] }
                /Maximum resident set size/ { m = $2 } END { print s, m }' "$work/t" >>"$file"
}

# SAGA's start-up (loading its tool libraries): both tools on a 2 x 1 grid.
"$globe" generate "$work/tiny" --subdivision 0 --terrain earth >/dev/null
"$globe" map "$work/tiny" --heightmap --width 2 --out "$work/tiny.tif" >/dev/null 2>&1
startup=$(sagaruns "$work/tiny" | cut -d' ' -f1)

: >"$work/csv"
{
    echo "## Drainage"
    echo
    echo "Written by bench/water_bench.sh (make bench, or make bench-water alone) on $(date +%Y-%m-%dT%H:%M:%S): the drainage of an Earth world (\`generate --terrain earth\`) beside SAGA $(saga_cmd --version 2>/dev/null | sed -n 's/^SAGA Version: //p' | head -n 1)'s fill-sinks (ta_preprocessor 4, Wang & Liu) then flow accumulation (ta_hydrology 0, top-down D8) on the world's own 16-bit heightmap (\`map --heightmap\`, GeoTIFF) of about as many cells, in the same run. Ours alone: the median of $runs computations in one process (flood, flats, directions, flow, lakes, basins); SAGA on a 2 x 1 grid: the same two runs on a grid of two cells, its start-up (loading its tool libraries), which on this shared machine varies by seconds, so SAGA's own computation cannot be told apart reliably. Whole runs, with loading: wall time and peak RSS from /usr/bin/time -v; SAGA's two runs added (the median of three such pairs), its larger peak. Ratio = our whole run / SAGA's whole runs (target: at most 1; S = 8 under a second, under 500 MB)."
    echo
    echo "| S | Vertices | Grid | Ours alone | Our whole run | SAGA's whole runs | SAGA on a 2 x 1 grid | Ratio | Our peak RSS | SAGA's peak RSS |"
    echo "| --- | --- | --- | --- | --- | --- | --- | --- | --- | --- |"
    for s in 6 7 8; do
        world=$work/world$s
        "$globe" generate "$world" --subdivision "$s" --terrain earth >/dev/null
        vertices=$((10 * (1 << (2 * s)) + 2))
        # W x W / 2 cells, W even, nearest the vertex count
        width=$(awk -v n="$vertices" 'BEGIN { w = int(sqrt(2 * n) / 2 + 0.5) * 2; print w }')
        "$globe" map "$world" --heightmap --width "$width" --out "$work/grid$s.tif" >/dev/null
        alone=$("$bench" "$world" "$runs" | cut -d' ' -f1)
        : >"$work/ours"
        timed "$work/ours" "$bench" "$world" 1
        set -- $(cat "$work/ours") $(sagaruns "$work/grid$s")
        awk -v s="$s" -v n="$vertices" -v tri="$((20 * (1 << (2 * s))))" -v grid="$width x $((width / 2))" -v alone="$alone" -v start="$startup" -v ot="$1" -v om="$2" -v st="$3" -v sm="$4" 'BEGIN {
            printf "| %d | %d | %s | %.3f s | %.2f s | %.2f s | %.2f s | %.2f | %.0f MiB | %.0f MiB |\n", s, n, grid, alone, ot, st, start, ot / st, om / 1024, sm / 1024
            printf "drainage: whole run,saga fill-sinks + flow-accumulation,%d,%d,%.3f,%.3f,%.4f,s\n", s, tri, ot, st, ot / st > "/dev/stderr"
            printf "drainage peak RSS,saga fill-sinks + flow-accumulation,%d,%d,%.1f,%.1f,%.4f,MiB\n", s, tri, om / 1024, sm / 1024, om / sm > "/dev/stderr"
        }' 2>>"$work/csv"
    done
} >"$work/section"

publish "$out" "Drainage" drainage

# cpu COMMAND...: prints "CPU-seconds wall-seconds KiB" of COMMAND, the median
# of three runs by CPU time (user + system), which this shared machine's load
# disturbs less than the wall time.
cpu() {
    : >"$work/cpu"
    for run in 1 2 3; do
        /usr/bin/time -f '%U %S %e %M' -o "$work/c" "$@" >/dev/null 2>&1
        awk '{ print $1 + $2, $3, $4 }' "$work/c" >>"$work/cpu"
    done
    sort -n "$work/cpu" | sed -n 2p
}

: >"$work/csv"
{
    echo "## The rivers command"
    echo
    echo "Written by bench/water_bench.sh on $(date +%Y-%m-%dT%H:%M:%S): \`globe-world rivers DIR --out FILE.gpkg\` whole (load, drainage, segments, lakes and basins traced from the cells' edges, the GeoPackage through OGR, the durable write) beside the drainage alone (globe-water-bench: load and one computation) on the same Earth worlds, each the median of three runs by CPU time (user + system). Ratio = the command's CPU time / the drainage's (target: at most 2)."
    echo
    echo "| S | Drainage CPU | Drainage wall | rivers CPU | rivers wall | Ratio (CPU) | rivers peak RSS |"
    echo "| --- | --- | --- | --- | --- | --- | --- |"
    for s in 6 7 8; do
        set -- $(cpu "$bench" "$work/world$s" 1) $(cpu "$globe" rivers "$work/world$s" --out "$work/rivers$s.gpkg")
        awk -v s="$s" -v tri="$((20 * (1 << (2 * s))))" -v dc="$1" -v dw="$2" -v rc="$4" -v rw="$5" -v rm="$6" 'BEGIN {
            printf "| %d | %.2f s | %.2f s | %.2f s | %.2f s | %.2f | %.0f MiB |\n", s, dc, dw, rc, rw, rc / dc, rm / 1024
            printf "rivers command: CPU,drainage alone,%d,%d,%.3f,%.3f,%.4f,s\n", s, tri, rc, dc, rc / dc > "/dev/stderr"
        }' 2>>"$work/csv"
    done
} >"$work/section"

publish "$out" "The rivers command" "rivers command"
