#!/bin/sh
# launch_test.sh CASE PREFIX SOURCE: globe-launch as installed in PREFIX
# (for the case build_tree, PREFIX is the build tree).
# The cases without a display run the launcher beside a stand-in editor
# that notes where and how it was started.
# shellcheck source-path=SCRIPTDIR source=testlib.sh
. "$(dirname "$0")/testlib.sh"
case=$1
prefix=$2
source=$3
tools=$prefix/bin
world_files="base001.dat base002.dat base003.dat base004.dat base005.dat demo.txt"

# A bin folder with the real globe-world and launcher, and a globe that
# writes its working directory and argument count to $scratch/started.
stand_in() {
    mkdir "$scratch/bin"
    cp "$tools/globe-launch" "$scratch/bin/"
    ln -s "$tools/globe-world" "$scratch/bin/globe-world"
    printf '#!/bin/sh\n{ pwd; echo "$#"; } >"%s"\nexit 7\n' "$scratch/started" \
        >"$scratch/bin/globe"
    chmod +x "$scratch/bin/globe"
    launch=$scratch/bin/globe-launch
}

generate() {
    expect 0 "$tools/globe-world" generate "$1" --subdivision 2
}

break_corners() {
    truncate -s -6 "$1/base004.dat"
}

not_started() {
    [ ! -e "$scratch/started" ] || fail "the editor was started: $(cat "$scratch/started")"
}

started_in() {
    [ "$(sed -n 1p "$scratch/started")" = "$1" ] || fail "the editor did not start in $1"
    [ "$(sed -n 2p "$scratch/started")" = 0 ] || fail "the editor was given arguments"
    rm "$scratch/started"
}

case_given_world() {
    stand_in
    export GLOBE_LAUNCH_NO_GUI=1
    generate "$scratch/good"
    expect 7 "$launch" "$scratch/good"
    started_in "$scratch/good"
    (cd "$scratch" && expect 7 "$launch" good) || exit 1
    started_in "$scratch/good"
    # A link to the launcher, as in ~/bin, still finds the editor beside it.
    mkdir "$scratch/links"
    ln -s "$launch" "$scratch/links/globe-launch"
    expect 7 "$scratch/links/globe-launch" "$scratch/good"
    started_in "$scratch/good"

    generate "$scratch/broken"
    break_corners "$scratch/broken"
    expect 2 "$launch" "$scratch/broken"
    holds "$scratch/err" "base004.dat: declares 1280 elements but holds only 1278"
    not_started

    expect 2 "$launch" "$scratch/nowhere"
    holds "$scratch/err" "nowhere: no such folder"
    [ ! -e "$scratch/nowhere" ] || fail "a world named on the command line was made"
    not_started

    expect 1 "$launch" "$scratch/good" "$scratch/good"
    holds "$scratch/err" "one WORLD_DIR at most"
    not_started
}

case_default_world() {
    stand_in
    export GLOBE_LAUNCH_NO_GUI=1 HOME="$scratch/home"
    unset XDG_DATA_HOME
    world=$HOME/.local/share/globe/world
    expect 7 "$launch"
    started_in "$world"
    for file in $world_files; do
        [ -s "$world/$file" ] || fail "the default world lacks $file"
    done

    # A world of the user's, even a changed or broken one, is never remade.
    echo 0 >"$world/demo.txt"
    expect 7 "$launch"
    [ "$(cat "$world/demo.txt")" = 0 ] || fail "the default world was made again"
    started_in "$world"
    break_corners "$world"
    expect 2 "$launch"
    not_started

    # The XDG rules: a relative XDG_DATA_HOME is ignored.
    rm -rf "$HOME"
    expect 7 env XDG_DATA_HOME=relative "$launch"
    started_in "$world"

    : >"$scratch/file"
    expect 2 env XDG_DATA_HOME="$scratch/file" "$launch"
    holds "$scratch/err" "globe-launch: cannot make a world in $scratch/file/globe/world"
    not_started
}

# The real editor, on a display, in the world made on first use.
case_first_start() {
    need_display
    export GLOBE_LAUNCH_NO_GUI=1 XDG_DATA_HOME="$scratch/data"
    world=$XDG_DATA_HOME/globe/world
    "$tools/globe-launch" 2>"$scratch/err" &
    pid=$!
    started="$pid"
    # The title names the world's folder; the class is the menu entry's.
    wait_until 30 globe_window_of "$pid" "world — Globe" ||
        fail "no editor window titled after its world; stderr: $(cat "$scratch/err")"
    class=$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/globe.desktop")
    xprop -id "$window" WM_CLASS | grep -qF "\"$class\"" ||
        fail "window class $(xprop -id "$window" WM_CLASS), not the menu entry's '$class'"
    # The launcher became the editor (exec), in the world's folder.
    same_file "/proc/$pid/exe" "$tools/globe" || fail "process $pid is not globe"
    same_file "/proc/$pid/cwd" "$world" || fail "globe does not run in $world"
    expect 0 "$tools/globe-world" check "$world"

    # The same world as 'make run' makes.
    world_args=$(sed -n 's/^WORLD_ARGS *:= *//p' "$source/Makefile")
    # shellcheck disable=SC2086 # the arguments are words
    expect 0 "$tools/globe-world" generate "$scratch/reference" $world_args
    for file in $world_files; do
        cmp -s "$world/$file" "$scratch/reference/$file" || fail "$file differs from make run's"
    done
}

# The build tree's launcher runs as it stands, without make install, and
# starts the build's editor, whose window names itself alike in WM_NAME and
# _NET_WM_NAME; the editor given a folder says how to open it instead.
case_build_tree() {
    need_display
    build=$prefix
    tools=$build/tools
    export GLOBE_LAUNCH_NO_GUI=1
    generate "$scratch/good"
    mkdir "$scratch/empty"
    (cd "$scratch/empty" && expect 2 "$build/app/globe" "$scratch/good") || exit 1
    holds "$scratch/err" "globe: the editor opens the world of the current folder \
($scratch/empty), not $scratch/good: to open $scratch/good, run globe-launch $scratch/good, \
or cd $scratch/good && globe"
    env PATH=/usr/bin:/bin "$tools/globe-launch" "$scratch/good" 2>"$scratch/err" &
    pid=$!
    started="$pid"
    wait_until 30 globe_window_of "$pid" "good — Globe" ||
        fail "no editor window from the build tree; stderr: $(cat "$scratch/err")"
    same_file "/proc/$pid/exe" "$build/app/globe" || fail "process $pid is not the build's globe"
    name=$(xprop -id "$window" WM_NAME | sed 's/^[^=]*= //')
    [ "$name" = "$(xprop -id "$window" _NET_WM_NAME | sed 's/^[^=]*= //')" ] ||
        fail "WM_NAME $name differs from $(xprop -id "$window" _NET_WM_NAME)"
}

# Sets window to the window titled $2 of process $1.
globe_window_of() {
    alive "$1" || fail "the launcher ended; stderr: $(cat "$scratch/err")"
    for window in $(windows_titled "$2"); do
        [ "$(window_pid "$window")" = "$1" ] && return 0
    done
    return 1
}

# A refused world from the desktop: a message box, and no editor.
case_refusal_box() {
    need_display
    stand_in
    unset GLOBE_LAUNCH_NO_GUI
    generate "$scratch/broken"
    break_corners "$scratch/broken"
    "$launch" "$scratch/broken" 2>"$scratch/err" &
    pid=$!
    started="$pid"
    wait_until 30 refusal_box_of "$pid" || fail "no message box; stderr: $(cat "$scratch/err")"
    holds "$scratch/err" "base004.dat: declares 1280 elements but holds only 1278"
    alive "$pid" || fail "the launcher did not wait for the box"
    kill "$box_pid"
    ! wait "$pid" || fail "the launcher went on after a refusal"
    not_started
}

# Sets box_pid to the checker, started by launcher $1, that shows the box.
refusal_box_of() {
    for id in $(windows_titled "Globe: world refused"); do
        box_pid=$(window_pid "$id")
        if [ "$(sed -n 's/^PPid:\t//p' "/proc/$box_pid/status")" = "$1" ]; then
            started="$started $box_pid"
            return 0
        fi
    done
    return 1
}

"case_$case"
echo "$case: passed"
