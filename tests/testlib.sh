# Shared by the shell tests: scratch space, failing, skipping, waiting and
# finding windows on the X display. Source it with ".".
set -u

scratch=$(mktemp -d)
started=
# Whatever a test started is ended by its id, and its scratch space removed.
cleanup() {
    for pid in $started; do
        kill "$pid" 2>/dev/null
    done
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# CTest reads 77 as a skip (SKIP_RETURN_CODE).
skip() {
    echo "SKIP: $*"
    exit 77
}

# expect STATUS COMMAND...: runs COMMAND with stdout and stderr in
# $scratch/out and $scratch/err, and fails unless it exits with STATUS.
expect() {
    want=$1
    shift
    "$@" >"$scratch/out" 2>"$scratch/err"
    got=$?
    [ "$got" -eq "$want" ] || fail "$* exited $got, not $want; stderr: $(cat "$scratch/err")"
}

# Fails unless file $1 holds the fixed string $2.
holds() {
    grep -qF -- "$2" "$1" || fail "$1 lacks '$2': $(cat "$1")"
}

# wait_until SECONDS COMMAND...: polls COMMAND every tenth of a second.
wait_until() {
    tries=$(($1 * 10))
    shift
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

same_file() {
    [ "$(readlink -f "$1")" = "$(readlink -f "$2")" ]
}

alive() {
    kill -0 "$1" 2>/dev/null
}

need_display() {
    [ -n "${DISPLAY:-}" ] || skip "no X display (run under xvfb-run)"
    if ! command -v xwininfo >/dev/null || ! command -v xprop >/dev/null; then
        skip "xwininfo and xprop (x11-utils) are missing"
    fi
}

# The top-level windows on screen whose title is $1, one id a line.
windows_titled() {
    xwininfo -root -children | sed -n "s/^ *\(0x[0-9a-f]*\) \"$1\": .*/\1/p" |
        while read -r id; do
            xwininfo -id "$id" | grep -q 'Map State: IsViewable' && echo "$id"
        done
}

# The process that owns window $1, as the window says (_NET_WM_PID).
window_pid() {
    xprop -id "$1" _NET_WM_PID | sed -n 's/.* = \([0-9]*\)$/\1/p'
}
