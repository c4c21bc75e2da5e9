#!/bin/bash
# Formats the C++ sources with the root .clang-format (clang-format 14, as
# Debian 12 has it). `bash tools/format.sh check` changes nothing and fails,
# naming the files, when one differs; CI runs that.
set -euo pipefail
cd "$(dirname "$0")/.."
format="$(command -v clang-format-14 || command -v clang-format)"
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = check ]; then
    differ=()
    for f in "${files[@]}"; do
        "$format" --dry-run --Werror "$f" >/dev/null 2>&1 || differ+=("$f")
    done
    if [ ${#differ[@]} -gt 0 ]; then
        echo "Not formatted (run: bash tools/format.sh):" >&2
        printf '  %s\n' "${differ[@]}" >&2
        exit 1
    fi
    echo "All ${#files[@]} C++ files are formatted."
else
    "$format" -i "${files[@]}"
fi
