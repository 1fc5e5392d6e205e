#!/bin/sh
# layers_test.sh SOURCE GLOBE_WORLD: each folder includes only the layers
# below it (docs/architecture.md), no file includes itself back through
# others, and the built globe-world needs no GL.
# shellcheck source-path=SCRIPTDIR source=testlib.sh
. "$(dirname "$0")/testlib.sh"
source=$1
tool=$2

# allowed FOLDER PATTERN: the project headers FOLDER's files may include,
# as an extended regular expression over "folder/file.h".
allowed() {
    folder=$1
    pattern=$2
    for file in "$source/$folder"/*.cpp "$source/$folder"/*.h; do
        [ -e "$file" ] || continue
        sed -n 's/^#include "\([a-z]*\/[^"]*\)".*/\1/p' "$file" | while read -r header; do
            echo "$header" | grep -Eqx "$pattern" ||
                echo "${file#"$source"/} includes $header"
        done
    done
}

gl_free='world/.*|terrain/(levelrules|vec3)\.h|sphere/.*'
{
    allowed world 'world/.*'
    allowed terrain 'world/.*|terrain/.*'
    allowed sphere 'world/.*|terrain/vec3\.h|sphere/.*'
    allowed overlays 'world/.*|terrain/.*|overlays/.*'
    allowed generator "$gl_free|generator/.*"
    allowed water "$gl_free|water/.*"
    allowed erosion "$gl_free|generator/.*|water/.*|erosion/.*"
    allowed gdal "$gl_free|gdal/.*"
    allowed meshes "$gl_free|water/.*|meshes/.*"
    allowed maps "$gl_free|water/.*|erosion/.*|gdal/.*|meshes/.*|maps/.*"
    allowed relief "$gl_free|generator/.*|erosion/.*|gdal/.*|meshes/.*|maps/.*|relief/.*"
    allowed app 'world/.*|terrain/.*|overlays/.*|app/.*'
    allowed tools "$gl_free|generator/.*|water/.*|erosion/.*|gdal/.*|meshes/.*|maps/.*|relief/.*"
} | grep -vx 'world/levelstore.cpp includes terrain/triangle.h' >"$scratch/wrong"
[ -s "$scratch/wrong" ] && fail "includes across the layers: $(cat "$scratch/wrong")"

# water/ is shared by every room that writes files, and the editor may draw
# it; erosion/ stands on it: no GDAL, OGR or GL header of any kind.
grep -lE '^#include <(gdal|ogr|cpl_|GL/|QOpenGL|QGL)' "$source"/water/* "$source"/erosion/* >"$scratch/water"
[ -s "$scratch/water" ] && fail "GDAL or GL in water/ or erosion/: $(cat "$scratch/water")"

# Include circles between files, in any folder: a pair "a.h b.h" per
# include, a file's .h and .cpp counted as one unit, which tsort refuses
# when the pairs close a loop.
for file in "$source"/*/*.cpp "$source"/*/*.h; do
    [ -e "$file" ] || continue
    unit=${file#"$source"/}
    unit=${unit%.*}
    sed -n 's/^#include "\([a-z]*\/[^"]*\)\.h".*/\1/p' "$file" | while read -r header; do
        [ "$header" = "$unit" ] || echo "$unit $header"
    done
done >"$scratch/pairs"
tsort "$scratch/pairs" >/dev/null 2>"$scratch/circle" ||
    fail "an include circle: $(grep -v '^tsort: input contains a loop' "$scratch/circle" | tr -d '\n')"

# The editor's program-wide tables are the editor's alone: globe-world's
# layers take the world as a value.
grep -l '#include "world/worldtables.h"' "$source"/generator/* "$source"/water/* "$source"/gdal/* \
    "$source"/meshes/* "$source"/maps/* "$source"/relief/* "$source"/tools/* >"$scratch/tables"
[ -s "$scratch/tables" ] && fail "the editor's tables used in: $(cat "$scratch/tables")"

command -v readelf >/dev/null || skip "readelf is missing"
readelf -d "$tool" | grep NEEDED | grep -E 'libGL|libGLU|libOpenGL' &&
    fail "globe-world links a GL library"
nm -D --undefined-only "$tool" | grep -E ' (gl|glu)[A-Z]' &&
    fail "globe-world calls GL"
exit 0
