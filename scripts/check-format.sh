#!/usr/bin/env bash
# Checks that every C++ file of the project is formatted as the committed
# .clang-format asks, with clang-format 14. Prints each difference and exits
# non-zero when there is one.
#
# Usage: scripts/check-format.sh [--fix]   (--fix reformats the files instead)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

format=""
for candidate in clang-format-14 clang-format; do
    if command -v "$candidate" >/dev/null && "$candidate" --version | grep -q "version 14\."; then
        format=$candidate
        break
    fi
done
if [[ -z "$format" ]]; then
    echo "check-format: clang-format 14 not found (scripts/setup.sh test installs it)" >&2
    exit 1
fi

# Tracked files and new ones not yet added; without git, all outside build folders.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
else
    mapfile -t files < <(find . -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print)
fi

if [[ "${1:-}" == --fix ]]; then
    "$format" -i "${files[@]}"
    exit 0
fi
if ! "$format" --dry-run --Werror "${files[@]}"; then
    echo "check-format: not formatted as .clang-format asks; scripts/check-format.sh --fix reformats" >&2
    exit 1
fi
echo "check-format: ${#files[@]} C++ files formatted"
