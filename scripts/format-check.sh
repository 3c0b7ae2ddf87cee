#!/usr/bin/env bash
# Checks that every C++ file of the tree (src, tests, bench, fuzz, tools) is as
# clang-format leaves it with the repository's .clang-format, and names each
# line that is not. Mend with clang-format -i on the files named.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(find src tests bench fuzz tools -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
if ! clang-format --dry-run -Werror "${files[@]}"; then
  echo "Format: the files above are not as clang-format leaves them (clang-format -i FILE)." >&2
  exit 1
fi
echo "Format: ${#files[@]} C++ files as clang-format leaves them."
