#!/bin/sh
# install_test.sh BUILD PREFIX: installs the build into PREFIX, a fresh
# folder that the launcher tests then use, and checks what landed there.
# shellcheck source-path=SCRIPTDIR source=testlib.sh
. "$(dirname "$0")/testlib.sh"
build=$1
prefix=$2

rm -rf "$prefix"
expect 0 cmake --install "$build" --prefix "$prefix"

for file in bin/globe bin/globe-world bin/globe-launch; do
    [ -x "$prefix/$file" ] || fail "$file is not installed as a program"
done
for file in share/applications/globe.desktop share/icons/hicolor/scalable/apps/globe.svg \
    share/doc/globe/README.md share/doc/globe/docs/world-format.md share/doc/globe/copyright \
    share/man/man1/globe.1.gz share/man/man1/globe-world.1.gz share/man/man1/globe-launch.1.gz; do
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done
# Debian's own files belong in the package alone.
for file in share/doc/globe/changelog.Debian.gz share/lintian; do
    [ ! -e "$prefix/$file" ] || fail "$file is installed outside the package"
done

# The menu entry must start a program and show an icon that are installed.
desktop=$prefix/share/applications/globe.desktop
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$prefix/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not an installed program"
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon is not installed"
holds "$prefix/share/doc/globe/copyright" "Copyright: 2026 The Globe developers"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" >"$scratch/validate" 2>&1 || fail "$(cat "$scratch/validate")"
    # Hints are advice; errors and warnings are faults.
    ! grep -E ': (error|warning): ' "$scratch/validate" || fail "desktop-file-validate complains"
else
    echo "desktop-file-validate is missing: the menu entry is not validated"
fi

if command -v man >/dev/null; then
    for page in "$prefix"/share/man/man1/*.1.gz; do
        LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>"$scratch/man" >/dev/null ||
            fail "man $page failed"
        [ ! -s "$scratch/man" ] || fail "$page: $(cat "$scratch/man")"
    done
fi
echo "installed into $prefix"
