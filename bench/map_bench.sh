#!/bin/sh
# map_bench.sh BUILD OUTDIR: the maps of a subdivision-8 world at W = 8192
# beside GDAL's own tools doing the part of the work they can, in the same
# run. Appends the section "Maps" to OUTDIR/performance.md (replacing an
# older one) and its rows to OUTDIR/performance.csv. `make bench` runs it
# after the import benchmark; `make bench-map` runs it alone. Needs gdal-bin
# (gdal_translate, gdalwarp) and /usr/bin/time.
#
# Rows (times the median of RUNS runs (3), ours and the reference's in
# turns, peak RSS the largest):
# - the equirectangular PNG, beside gdal_translate re-encoding that same PNG
#   (reading and writing it, none of the drawing);
# - each warped projection to a GeoTIFF W wide, beside gdalwarp of our own
#   equirectangular GeoTIFF (of the width the map command warps from) to the
#   same projection, size and resampling.
set -eu
build=$1
out=$2
runs=${RUNS:-3}
width=${MAP_WIDTH:-8192}
globe=$build/tools/globe-world
# shellcheck source=benchlib.sh
. "$(dirname "$0")/benchlib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/map-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

for tool in gdal_translate gdalwarp gdalinfo gdaltransform /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "map_bench.sh: $tool is missing (apt-get install gdal-bin time)" >&2; exit 1; }
done

echo "map bench: making a world of subdivision 8 in $work"
"$globe" generate "$work/world" --subdivision 8 --terrain random --seed 1 >/dev/null


# timed COMMAND...: runs it, its "seconds KiB" into $work/t
timed() {
    /usr/bin/time -f '%e %M' -o "$work/t" "$@" >/dev/null 2>&1 ||
        { echo "map_bench.sh: failed: $*" >&2; exit 1; }
}

# compare: RUNS runs of the functions ours and theirs (each one timed
# command), taken in turns so that both see the same load, into $work/ours
# and $work/theirs
compare() {
    : >"$work/ours"
    : >"$work/theirs"
    i=0
    while [ "$i" -lt "$runs" ]; do
        ours
        cat "$work/t" >>"$work/ours"
        theirs
        cat "$work/t" >>"$work/theirs"
        i=$((i + 1))
    done
}

# row LABEL REFERENCE: one markdown row from $work/ours and $work/theirs
row() {
    set -- "$1" "$2" $(median <"$work/ours") $(median <"$work/theirs")
    awk -v label="$1" -v ref="$2" -v ot="$3" -v om="$4" -v rt="$5" -v rm="$6" 'BEGIN {
        printf "| %s | %s | %.2f s | %.2f s | %.2f | %.0f MiB | %.0f MiB |\n", label, ref, ot, rt, ot / rt, om / 1024, rm / 1024
        printf "map: %s,%s,8,%d,%.3f,%.3f,%.4f,s\n", label, ref, 1310720, ot, rt, ot / rt > "/dev/stderr"
    }' 2>>"$work/csv"
}

# The width the map command warps from: the scale of the map at the equator.
source_width() {
    awk -v w="$width" -v h="$1" 'BEGIN { c = 2 * int((2 * 3.14159265358979 * 6371000 / (2 * h / w) + 1) / 2); if (c > 16384) c = 16384; print c }'
}

{
    echo "## Maps"
    echo
    echo "Written by bench/map_bench.sh (make bench, or make bench-map alone) on $(date +%Y-%m-%dT%H:%M:%S), $runs runs each, on a random world of subdivision 8 (1,310,720 triangles), maps $width pixels wide. Time: the median wall time of a whole \`globe-world map\` run (loading the world, drawing, warping, encoding, writing); the reference does only what GDAL's tools can do of it, in the same run. Ratio = ours / reference (target: at most 1.5). The machine's other load changes from minute to minute: the two sides run in turns, and only their ratio means anything."
    echo
    echo "Where the equirectangular map's time went (perf, subdivision 8, W = 8192): 55% finding each pixel's triangle by searching its bin (MeshRaster::locate, about four triangles tried per pixel), 9% rounding the blended colours through lround, about 25% Qt's PNG encoding, the rest loading the world and building the bins; 3.6 times gdal_translate's time, measured in turns (13.3 s against 3.7 s on the loaded machine). Now each triangle visits its own pixels band by band (locateBand, the same triangle and weights, so the same bytes), in two threads, the rounding is inlined, and libpng encodes the PNG's rows while the rows below are still drawn (pngrows, the bytes QImage::save gave). A warped map draws its source the same way; its warp and GeoTIFF are GDAL's own, as in the reference."
    echo
    echo "| Map | Reference | Ours | Reference | Ratio | Our peak RSS | Reference's peak RSS |"
    echo "| --- | --- | --- | --- | --- | --- | --- |"
    ours() { timed "$globe" map "$work/world" --out "$work/map.png" --width "$width"; }
    theirs() { timed gdal_translate -q -of PNG "$work/map.png" "$work/again.png"; }
    compare
    row "equirectangular PNG" "gdal_translate re-encoding the same PNG"
    for projection in mollweide robinson winkel-tripel equal-earth orthographic; do
        case $projection in
        winkel-tripel) proj=wintri ;;
        equal-earth) proj=eqearth ;;
        orthographic) proj=ortho ;;
        *) proj=$(echo "$projection" | cut -c1-4 | sed 's/robi/robin/') ;;
        esac
        srs="+proj=$proj +lon_0=0 +R=6371000 +units=m +no_defs"
        # GDAL 3.6's GeoTIFF cannot hold Equal Earth: that map is a PNG.
        file=$work/$projection.tif
        [ "$projection" = equal-earth ] && file=$work/$projection.png
        "$globe" map "$work/world" --out "$file" --width "$width" --projection "$projection" >/dev/null
        size=$(gdalinfo "$file" 2>/dev/null | sed -n 's/^Size is \([0-9]*\), \([0-9]*\)/\1 \2/p')
        half=$(echo "180 0" | gdaltransform -s_srs "+proj=longlat +R=6371000" -t_srs "$srs" | awk '{ print ($1 < 0 ? -$1 : $1) }')
        [ "$projection" = orthographic ] && half=6371000
        source=$(source_width "$half")
        "$globe" map "$work/world" --out "$work/source.tif" --width "$source" >/dev/null
        ours() { timed "$globe" map "$work/world" --out "$file" --width "$width" --projection "$projection"; }
        # shellcheck disable=SC2086
        theirs() {
            timed gdalwarp -q -overwrite -r bilinear -dstalpha -t_srs "$srs" -ts $size \
                -co COMPRESS=DEFLATE "$work/source.tif" "$work/reference.tif"
        }
        compare
        row "$projection ${file##*.}" "gdalwarp of our $source-wide GeoTIFF to a GeoTIFF"
    done
} >"$work/section"

publish "$out" Maps map
