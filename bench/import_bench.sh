#!/bin/sh
# import_bench.sh BUILD OUTDIR: the import of two large rasters beside
# GDAL's own averaged read of the same raster to the same grid, in the same
# run. Appends the section "Import of large rasters" to OUTDIR/performance.md
# (replacing an older one) and its rows to OUTDIR/performance.csv. `make
# bench` runs it after globe-bench; `make bench-import` runs it alone. Needs
# gdal-bin (gdal_translate, gdal_create, gdalwarp) and /usr/bin/time.
#
# The rasters, made here from data/earth-relief.tif:
# - 21600 x 10800 Int16 samples, tiled and DEFLATE-compressed (the
#   Natural Earth relief scaled to -6000..6000 m, upsampled bilinearly);
# - 86400 x 43200 Int16 samples (GEBCO's size), tiled, sparse: only Europe
#   (0 to 40 east, 35 to 70 north) is written, every other tile is absent.
# Each is imported into a world of subdivision 6 with --sea-level 0;
# reference: gdal_translate -r average -outsize W H to a GeoTIFF, W x H the
# grid the import reports it read. Times are the median of RUNS runs (3), peak
# RSS the largest of them.
set -eu
build=$1
out=$2
runs=${RUNS:-3}
here=$(cd "$(dirname "$0")" && pwd)
relief=$here/../data/earth-relief.tif
globe=$build/tools/globe-world
work=$(mktemp -d "${TMPDIR:-/tmp}/import-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=benchlib.sh
. "$(dirname "$0")/benchlib.sh"

for tool in gdal_translate gdal_create gdalwarp /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "import_bench.sh: $tool is missing (apt-get install gdal-bin time)" >&2; exit 1; }
done

echo "import bench: making the rasters in $work"
gdal_translate -q -outsize 21600 10800 -ot Int16 -r bilinear -scale 0 255 -6000 6000 \
    -a_srs EPSG:4326 -co TILED=YES -co COMPRESS=DEFLATE "$relief" "$work/r21600.tif"
gdal_create -q -outsize 86400 43200 -bands 1 -ot Int16 -a_srs EPSG:4326 \
    -a_ullr -180 90 180 -90 -co TILED=YES -co SPARSE_OK=TRUE -co COMPRESS=DEFLATE "$work/r86400.tif"
gdal_translate -q -projwin 0 70 40 35 "$work/r21600.tif" "$work/europe.tif"
gdalwarp -q "$work/europe.tif" "$work/r86400.tif"
"$globe" generate "$work/world" --subdivision 6 --terrain random --seed 1 >/dev/null


# measure LABEL FILE: one markdown row on stdout of the table, one CSV row to $work/csv
measure() {
    label=$1
    file=$2
    : >"$work/ours"
    : >"$work/theirs"
    i=0
    while [ "$i" -lt "$runs" ]; do
        /usr/bin/time -f '%e %M' -o "$work/t" "$globe" import "$work/world" --heightmap "$file" \
            --sea-level 0 >"$work/import.out" 2>&1
        cat "$work/t" >>"$work/ours"
        i=$((i + 1))
    done
    grid=$(sed -n 's/.*read as a \([0-9]*\) x \([0-9]*\) longitude.*/\1 \2/p' "$work/import.out")
    i=0
    while [ "$i" -lt "$runs" ]; do
        # shellcheck disable=SC2086
        /usr/bin/time -f '%e %M' -o "$work/t" gdal_translate -q -r average -outsize $grid \
            "$file" "$work/reference.tif"
        cat "$work/t" >>"$work/theirs"
        rm -f "$work/reference.tif"
        i=$((i + 1))
    done
    set -- $(median <"$work/ours") $(median <"$work/theirs")
    awk -v label="$label" -v grid="$(echo "$grid" | sed 's/ / x /')" -v ot="$1" -v om="$2" -v rt="$3" -v rm="$4" 'BEGIN {
        printf "| %s | %s | %.2f s | %.2f s | %.2f | %.0f MiB | %.0f MiB |\n", label, grid, ot, rt, ot / rt, om / 1024, rm / 1024
        csv = label; gsub(/,/, "", csv)
        printf "import: %s,gdal_translate -r average -outsize,6,81920,%.3f,%.3f,%.4f,s\n", csv, ot, rt, ot / rt > "/dev/stderr"
        printf "import peak RSS: %s,gdal_translate -r average -outsize,6,81920,%.1f,%.1f,%.4f,MiB\n", csv, om / 1024, rm / 1024, om / rm > "/dev/stderr"
    }' 2>>"$work/csv"
}

{
    echo "## Import of large rasters"
    echo
    echo "Written by bench/import_bench.sh (make bench, or make bench-import alone) on $(date +%Y-%m-%dT%H:%M:%S), $runs runs each: \`globe-world import\` of the raster into a world of subdivision 6 (40962 vertices) with \`--sea-level 0\`, beside \`gdal_translate -r average -outsize W H\` of the same raster to a GeoTIFF of the grid the import read it into, in the same run. Time: the median wall time of a whole run; peak RSS: the largest. Ratio = ours / gdal_translate (target: at most 1.5; peak RSS at most 1 GiB)."
    echo
    echo "| Raster | Grid read | Ours | gdal_translate | Ratio | Our peak RSS | gdal_translate's peak RSS |"
    echo "| --- | --- | --- | --- | --- | --- | --- |"
    measure "21600 x 10800 Int16, tiled, DEFLATE" "$work/r21600.tif"
    measure "86400 x 43200 Int16, tiled, sparse" "$work/r86400.tif"
} >"$work/section"

publish "$out" "Import of large rasters" import
