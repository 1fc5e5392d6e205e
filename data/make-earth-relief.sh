#!/bin/sh
# make-earth-relief.sh [OUT]: derives data/earth-relief.tif, the relief behind
# `globe-world generate DIR --terrain earth`. Run once by hand; neither the
# build nor a run needs what it reads.
#
# Provenance: the eight level-1 tiles (675 x 675 grey JPEGs, two rows of
# four) of the "Atlas" (srtm) map theme of Debian's marble-qt-data package,
# usr/share/marble/data/maps/earth/srtm/1/ROW/ROW_COLUMN.jpg. Its srtm.dgml
# gives the source and the licence of that map content: "Made with Natural
# Earth. Free vector and raster map data @ naturalearthdata.com. License:
# Public Domain". The tiles join into a 2700 x 1350 equirectangular relief,
# north up, column 0 at 180 degrees west; sea is darker than land and the
# coast lies near grey 95.
#
# Output: the same 2700 x 1350 8-bit grey samples, untouched, as a
# DEFLATE-compressed GeoTIFF in EPSG:4326 with the global extent. Needs
# gdal-bin and marble-qt-data (apt-get install gdal-bin marble-qt-data).
set -eu
tiles=${MARBLE_SRTM:-/usr/share/marble/data/maps/earth/srtm}/1
out=${1:-$(dirname "$0")/earth-relief.tif}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for row in 0 1; do
    for column in 0 1 2 3; do
        tile=$(printf '%s/%06d/%06d_%06d.jpg' "$tiles" "$row" "$row" "$column")
        west=$((column * 90 - 180))
        north=$((90 - row * 90))
        gdal_translate -q -of VRT -a_srs EPSG:4326 \
            -a_ullr "$west" "$north" $((west + 90)) $((north - 90)) \
            "$tile" "$work/tile$row$column.vrt"
    done
done
gdalbuildvrt -q "$work/earth.vrt" "$work"/tile*.vrt
gdal_translate -q -of GTiff -ot Byte -co COMPRESS=DEFLATE -co PREDICTOR=2 -co ZLEVEL=9 \
    -co TILED=NO "$work/earth.vrt" "$out"
gdalinfo "$out" | grep -E '^Size is|^Origin|^Pixel Size'
