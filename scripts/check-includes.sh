#!/usr/bin/env bash
# Refuses every #include with ".." in its path: it would step around the
# directories through which each library sees only what it may use
# (docs/architecture.md). The build runs it on each library's folder before
# compiling it; CI may run it on the whole tree.
#   check-includes.sh [FOLDER...]   (default: src tests bench tools fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- src tests bench tools fuzz

found=$(grep -rnE --include='*.h' --include='*.cpp' --include='*.h.in' \
  '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^">]*/)?\.\.(/|[">])' "$@" || true)
if [ -n "$found" ]; then
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    text=${rest#*:}
    echo "$file:$line: error: include with '..' in its path: ${text#"${text%%[![:space:]]*}"}" >&2
  done <<< "$found"
  echo "Include a header as \"folder/Name.h\" from a library this folder may use (docs/architecture.md)." >&2
  exit 1
fi
