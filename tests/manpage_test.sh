#!/bin/sh
# manpage_test.sh PAGE PROGRAM...: fails when a command or an option that
# PROGRAM --help-all (or --help) lists is missing from the manual page PAGE,
# so that the page cannot fall behind the program.
# shellcheck source-path=SCRIPTDIR source=testlib.sh
. "$(dirname "$0")/testlib.sh"
page=$1
shift

[ -s "$page" ] || fail "$page was not made"
"$@" --help-all >"$scratch/help" 2>&1 || "$@" --help >"$scratch/help" 2>&1 ||
    fail "$* --help failed: $(cat "$scratch/help")"
# The page's text without roff's escapes and fonts.
sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page" >"$scratch/page"

# The commands: the first word of each line of the "Commands:" list.
sed -n '/^Commands:$/,/^$/p' "$scratch/help" | awk 'NR > 1 && NF { print $1 }' >"$scratch/commands"
while read -r command; do
    grep -qE "^\.SS \".*\] $command " "$scratch/page" ||
        fail "$page lacks a section for the command '$command'"
done <"$scratch/commands"

grep -oE -- '--[A-Za-z0-9][A-Za-z0-9-]*' "$scratch/help" | sort -u >"$scratch/options"
[ -s "$scratch/options" ] || fail "no options found in $* --help"
while read -r option; do
    grep -qF -- "$option" "$scratch/page" || fail "$page lacks the option $option"
done <"$scratch/options"
echo "$page: $(wc -l <"$scratch/commands") commands, $(wc -l <"$scratch/options") options"
