#!/usr/bin/env bash
# Checks the C++ lines changed since BASE against .clang-format (clang-format 14) and prints the
# changes it would make; fails when there are any. Only changed lines are checked, so older code
# that the tool would lay out differently is left alone.
#
# BASE is the first argument, or $FORMAT_BASE, or else HEAD's first parent: on the main branch that
# is the state before the last landed merge or commit, so the check covers what it brought in. A
# clone without that parent (a single commit) has nothing to compare and passes.
#
# usage: scripts/check-format.sh [--fix] [BASE]   (--fix rewrites the changed lines instead)
set -euo pipefail
cd "$(dirname "$0")/.."

fix=false
if [[ "${1:-}" == "--fix" ]]; then
    fix=true
    shift
fi
base=${1:-${FORMAT_BASE:-HEAD^1}}
command -v clang-format-14 >/dev/null || { echo "check-format: clang-format-14 is not installed" >&2; exit 1; }
if ! git rev-parse --verify --quiet "$base^{commit}" >/dev/null; then
    echo "check-format: no commit $base to compare with; nothing to check"
    exit 0
fi

# The C++ sources changed since base, without the generated tables.
mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$base" -- '*.cpp' '*.h' |
    grep -v -e '^text/error_messages\.cpp$' -e '^tests/data/' || true)
if [[ ${#files[@]} -eq 0 ]]; then
    echo "check-format: no C++ file changed since $(git rev-parse --short "$base")"
    exit 0
fi

if $fix; then
    git clang-format --binary clang-format-14 --force "$base" -- "${files[@]}" || true
    exit 0
fi
changes=$(git clang-format --binary clang-format-14 --diff "$base" -- "${files[@]}" || true)
if [[ -z "$changes" || "$changes" == "no modified files to format" ||
      "$changes" == "clang-format did not modify any files" ]]; then
    echo "check-format: ${#files[@]} changed files since $(git rev-parse --short "$base") are formatted"
    exit 0
fi
echo "$changes"
echo "check-format: the changed lines above differ from .clang-format; scripts/check-format.sh --fix $base rewrites them" >&2
exit 1
