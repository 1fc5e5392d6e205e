# Sourced by the benchmark scripts: replace_section TITLE PREFIX WORK OUT puts
# WORK/section, which starts with "## TITLE", into OUT/performance.md in place
# of an older section of that title (appended at the end), and WORK/csv into
# OUT/performance.csv in place of the rows starting with PREFIX; then shows
# the section.
replace_section() {
    title=$1
    prefix=$2
    work=$3
    out=$4
    if [ -f "$out/performance.md" ]; then
        awk -v title="## $title" '$0 == title { skip = 1; next } /^## / { skip = 0 } !skip' \
            "$out/performance.md" >"$work/md"
        # no blank line left at the end before the section
        sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' "$work/md" >"$out/performance.md"
        echo >>"$out/performance.md"
    fi
    cat "$work/section" >>"$out/performance.md"
    if [ -f "$out/performance.csv" ]; then
        grep -v "^$prefix" "$out/performance.csv" >"$work/oldcsv" || true
        cat "$work/oldcsv" "$work/csv" >"$out/performance.csv"
    fi
    cat "$work/section"
}
