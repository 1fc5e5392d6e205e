#!/bin/sh
# package_test.sh BUILD: builds the Debian package from the build with CPack
# into scratch space and checks its contents, metadata and programs.
# shellcheck source-path=SCRIPTDIR source=testlib.sh
. "$(dirname "$0")/testlib.sh"
build=$1

command -v dpkg-deb >/dev/null || skip "dpkg-deb is missing"
command -v dpkg-shlibdeps >/dev/null || skip "dpkg-shlibdeps (dpkg-dev) is missing"
expect 0 cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch"
deb=$(ls "$scratch"/globe_*.deb) || fail "no package in $(cat "$scratch/out")"

dpkg-deb -c "$deb" | awk '{ print $6 }' >"$scratch/contents"
for path in usr/bin/globe usr/bin/globe-world usr/bin/globe-launch \
    usr/share/applications/globe.desktop usr/share/icons/hicolor/scalable/apps/globe.svg \
    usr/share/doc/globe/README.md usr/share/doc/globe/copyright \
    usr/share/doc/globe/changelog.Debian.gz usr/share/man/man1/globe-launch.1.gz \
    usr/share/man/man1/globe-world.1.gz; do
    grep -qx "./$path" "$scratch/contents" || fail "the package lacks $path"
done

[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "not in section graphics"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt5opengl5 libqt5widgets5 libqt5gui5 libqt5core5a libglu1 libgl1 libc6 \
    libtinygltf2d lib3mf1; do
    case $depends in
        *"$library"*) ;;
        *) fail "Depends lacks $library: $depends" ;;
    esac
done
# The changelog's version is the package's.
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -x "$deb" "$scratch/root"
zcat "$scratch/root/usr/share/doc/globe/changelog.Debian.gz" | head -1 >"$scratch/changelog"
holds "$scratch/changelog" "globe ($version) unstable"

# Stripped, the programs still run.
bin=$scratch/root/usr/bin
expect 0 "$bin/globe-world" generate "$scratch/world" --subdivision 1
expect 0 "$bin/globe-world" check "$scratch/world"
expect 0 "$bin/globe-launch" --version
holds "$scratch/out" "globe-launch ${version%-*}"
# As dh_strip leaves them: no symbols, no compiler notes.
for program in "$bin/globe" "$bin/globe-world"; do
    readelf -S "$program" >"$scratch/sections" || fail "readelf $program"
    ! grep -qE '\.symtab|\.comment' "$scratch/sections" || fail "$program is not stripped"
done

if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" >"$scratch/lintian" 2>&1 ||
        fail "lintian: $(cat "$scratch/lintian")"
else
    echo "lintian is missing: the package is not linted"
fi
echo "$deb: passed"
