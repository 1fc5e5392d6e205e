#!/bin/sh
# web_bench.sh BUILD OUTDIR: what the shared worlds weigh and cost. Appends
# the section "Worlds to share" to OUTDIR/performance.md (replacing an older
# one) and its rows to OUTDIR/performance.csv. `make bench` runs it last;
# `make bench-web` runs it alone. Needs chromium and /usr/bin/time.
#
# Rows (times the median of RUNS runs (3), ours and the reference's in
# turns):
# - the web page of random worlds of S = 6, 7, 8: its size, and headless
#   Chromium (software GL, SwiftShader) opening it from disk and taking a
#   screenshot once the globe is drawn, beside the same Chromium doing the
#   same with the page of an S = 0 world (20 triangles: Chromium's start,
#   three.js, WebGL, the screenshot); the difference is the globe's own
#   time (unpacking, upload, the first draw);
# - a WebP turntable of FRAMES frames (24) of an S = 8 world, 512 square,
#   beside as many `map --projection orthographic` runs, one per centre.
set -eu
build=$1
out=$2
runs=${RUNS:-3}
frames=${FRAMES:-24}
globe=$build/tools/globe-world
# shellcheck source=benchlib.sh
. "$(dirname "$0")/benchlib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/web-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

for tool in chromium /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "web_bench.sh: $tool is missing (apt-get install chromium time)" >&2; exit 1; }
done

timed() {
    /usr/bin/time -f '%e %M' -o "$work/t" "$@" >/dev/null 2>&1 ||
        { echo "web_bench.sh: failed: $*" >&2; exit 1; }
}

# shot PAGE: headless Chromium draws the page offline and saves a screenshot
shot() {
    timed chromium --headless --no-sandbox --use-angle=swiftshader --enable-unsafe-swiftshader \
        --host-resolver-rules='MAP * ~NOTFOUND' --user-data-dir="$work/profile" \
        --window-size=800,600 --virtual-time-budget=60000 --screenshot="$work/shot.png" \
        "file://$1"
}

echo "web bench: worlds of subdivision 0, 6, 7 and 8 in $work"
for s in 0 6 7 8; do
    "$globe" generate "$work/s$s" --subdivision "$s" --terrain random --seed 1 >/dev/null
    "$globe" export "$work/s$s" --out "$work/s$s.html" >/dev/null
done
shot "$work/s0.html" # a first start of Chromium makes its profile

{
    echo "## Worlds to share"
    echo
    echo "Written by bench/web_bench.sh (make bench, or make bench-web alone) on $(date -u +%Y-%m-%dT%H:%M:%S), $runs runs each, on random worlds (\`generate --terrain random --seed 1\`). The web page: \`export --out FILE.html\` (three.js r111 embedded, the mesh deflated in base64; at most 40,000,000 bytes at S = 8), opened from disk by headless Chromium $(chromium --version 2>/dev/null | awk '{print $2}') with software GL (SwiftShader), every host unresolvable, 800 x 600, until the screenshot once the globe is drawn: the median wall time of the whole run, beside the same for the page of an S = 0 world (Chromium's start, three.js, WebGL, the screenshot) in turns; the difference is the globe's own time (unpacking, upload, first draw). The machine is shared: only the difference and ratio mean anything."
    echo
    echo "| S | Triangles | Page | Chromium, whole run | Chromium, S = 0 page | The globe's own time | Ratio |"
    echo "| --- | --- | --- | --- | --- | --- | --- |"
} >"$work/section"
: >"$work/csv"
for s in 6 7 8; do
    : >"$work/ours"
    : >"$work/theirs"
    i=0
    while [ "$i" -lt "$runs" ]; do
        shot "$work/s$s.html"
        cat "$work/t" >>"$work/ours"
        shot "$work/s0.html"
        cat "$work/t" >>"$work/theirs"
        i=$((i + 1))
    done
    bytes=$(stat -c %s "$work/s$s.html")
    set -- $(median <"$work/ours") $(median <"$work/theirs")
    awk -v s="$s" -v b="$bytes" -v o="$1" -v r="$3" 'BEGIN {
        printf "| %d | %d | %d bytes (%.1f MB) | %.2f s | %.2f s | %.2f s | %.2f |\n", s, 20 * 4 ^ s, b, b / 1e6, o, r, o - r, o / r
    }' >>"$work/section"
    echo "web,page,$s,$bytes,$1,$3" >>"$work/csv"
done

echo "web bench: a turntable of $frames frames of the S = 8 world"
: >"$work/ours"
: >"$work/theirs"
i=0
while [ "$i" -lt "$runs" ]; do
    timed "$globe" map "$work/s8" --out "$work/spin.webp" --frames "$frames" --width 512
    cat "$work/t" >>"$work/ours"
    start=$(date +%s.%N)
    k=0
    while [ "$k" -lt "$frames" ]; do
        lon=$(awk -v k="$k" -v n="$frames" 'BEGIN { l = -360 * k / n; while (l < -180) l += 360; print l }')
        timed "$globe" map "$work/s8" --out "$work/one.png" --projection orthographic --center "$lon,0" --width 512
        k=$((k + 1))
    done
    echo "$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }') 0" >>"$work/theirs"
    i=$((i + 1))
done
set -- $(median <"$work/ours") $(median <"$work/theirs")
{
    echo
    echo "The turntable: \`map --out spin.webp --frames $frames --width 512\` of the S = 8 world ($(nproc) cores, its frames drawn $(nproc) at a time), beside $frames runs of \`map --projection orthographic --width 512\`, one per frame's centre, one after another, in turns; WebP $(stat -c %s "$work/spin.webp") bytes."
    echo
    echo "| Turntable | Ours | $frames orthographic maps | Ratio | Our peak RSS |"
    echo "| --- | --- | --- | --- | --- |"
    awk -v f="$frames" -v o="$1" -v m="$2" -v r="$3" 'BEGIN {
        printf "| WebP, %d frames, 512 square | %.2f s | %.2f s | %.2f | %d MiB |\n", f, o, r, o / r, m / 1024
    }'
} >>"$work/section"
echo "web,turntable,$frames,$1,$3" >>"$work/csv"
publish "$out" "Worlds to share" "web,"
