# Shared by the benchmark scripts (sourced; $work is the script's scratch
# folder).

# median of the first field of the lines on stdin; largest second field
median() { sort -n | awk '{ t[NR] = $1; if ($2 > m) m = $2 } END { print t[int((NR + 1) / 2)], m }'; }

# publish OUT TITLE CSVPREFIX: puts $work/section into OUT/performance.md in
# place of an older section "## TITLE", and $work/csv into
# OUT/performance.csv in place of the rows starting with CSVPREFIX; prints the
# section.
publish() {
    if [ -f "$1/performance.md" ]; then
        awk -v title="## $2" 'index($0, title) == 1 { skip = 1; next } /^## / { skip = 0 } !skip' \
            "$1/performance.md" >"$work/md"
        # no blank line left at the end before the section
        sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' "$work/md" >"$1/performance.md"
        echo >>"$1/performance.md"
    fi
    cat "$work/section" >>"$1/performance.md"
    if [ -f "$1/performance.csv" ]; then
        grep -v "^$3" "$1/performance.csv" >"$work/oldcsv" || true
        cat "$work/oldcsv" "$work/csv" >"$1/performance.csv"
    fi
    cat "$work/section"
}
