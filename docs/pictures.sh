#!/bin/sh
# pictures.sh BUILD OUTDIR: the README's pictures, made by the project's own
# programs from the built-in Earth, each small: the editor's window under
# Xvfb (editor.png), a Robinson map with rivers and graticule
# (robinson.png), an orthographic view (orthographic.png) and a render of
# the printed halves (halves.png). `make pictures` runs it into
# docs/pictures/; it needs xvfb, x11-apps (xwd), x11-utils, netpbm and f3d,
# which that target installs.
set -eu
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
editor=$build/app/globe
world=$build/tools/globe-world
work=$(mktemp -d "${TMPDIR:-/tmp}/pictures.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$world" generate "$work/earth" --subdivision 6 --terrain earth >/dev/null

# The window, once it shows the globe, from the X server's own copy of it.
cat >"$work/shot.sh" <<'SHOT'
cd "$1" || exit 1
"$2" &
pid=$!
tries=300
until id=$(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) ".*Globe".*/\1/p' | head -n 1) && [ -n "$id" ]; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || { kill "$pid"; exit 1; }
    sleep 0.1
done
sleep 2 # the first frame
xwd -id "$id" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$3"
kill "$pid"
SHOT
xvfb-run -a -s "-screen 0 500x500x24" sh "$work/shot.sh" "$work/earth" "$editor" "$out/editor.png"

"$world" map "$work/earth" --out "$out/robinson.png" --projection robinson --rivers \
    --graticule 30 --width 600 >/dev/null
"$world" map "$work/earth" --out "$out/orthographic.png" --projection orthographic \
    --center 19,15 --rivers --width 360 >/dev/null

# The printed halves as they lie on the bed, each cut face down, rendered by
# F3D (PrusaSlicer makes no preview without its window).
"$world" export "$work/earth" --out "$work/globe.stl" --halves --pins 1.75 --relief 3mm \
    >/dev/null
for half in north south; do
    xvfb-run -a f3d "$work/globe-$half.stl" --output "$work/$half.png" --resolution 300,260 \
        --up +Z --camera-elevation-angle 30 --color 0.85,0.55,0.3 --bg-color 1,1,1 >/dev/null 2>&1
    pngtopnm "$work/$half.png" >"$work/$half.ppm"
done
pnmcat -lr "$work/north.ppm" "$work/south.ppm" | pnmtopng >"$out/halves.png"

ls -l "$out"
