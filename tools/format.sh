#!/usr/bin/env bash
# Formats every C++ source, tools/ too, as .clang-format says; --check only reports (CI).
#   tools/format.sh          rewrite in place
#   tools/format.sh --check  fail on the first file that is not formatted
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(find app store search main_window appearance weather printing platform tests bench fuzz tools \
    \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if [ "${1:-}" = --check ]; then
    clang-format --dry-run -Werror "${files[@]}"
else
    clang-format -i "${files[@]}"
fi
