#!/usr/bin/env bash
# Compares the folder graph of the includes in src/ with the "may use" column
# of the table in docs/architecture.md, and fails with the difference.
# A file of src/X (X the deepest folder of the table that holds it) that
# includes "Y/..." (Y the deepest folder of the table that the path names)
# makes the edge X -> Y; X -> X is no edge.
#   check-layers.sh [ROOT]   (default: this repository)
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
doc=docs/architecture.md
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The table: "| `src/app` | `keldan_app` | what | config, recording, ... |".
# Its folders, and the edges its "may use" column names.
awk -F'|' -v folders="$work/folders" -v edges="$work/doc" -v bad="$work/bad" '
  /^\| *`/ {
    name = $2
    sub(/^[^`]*`/, "", name); sub(/`.*/, "", name)
    sub(/^src\//, "", name); sub(/\/$/, "", name)
    row[++n] = name; uses[n] = $5; known[name] = 1
    print name > folders
  }
  END {
    for (i = 1; i <= n; ++i) {
      count = split(uses[i], items, ",")
      for (j = 1; j <= count; ++j) {
        item = items[j]; gsub(/^ +| +$/, "", item); gsub(/`/, "", item)
        if (item in known) print row[i] " -> " item > edges
        # Prose ("Qt Core only", "nothing") names no folder; any other lone word must.
        else if (item ~ /^[a-z\/]+$/ && item != "nothing") print row[i] ": \"" item "\" is no folder of the table" > bad
      }
    }
  }' "$doc"
touch "$work/doc" "$work/bad"
if [ ! -s "$work/folders" ]; then
  echo "check-layers: no folder table found in $doc" >&2
  exit 1
fi

# The includes: "file:line:#include "Y/..."" for every quoted include with a folder.
grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/' src \
  > "$work/includes" || true
awk -v folders="$work/folders" -v edges="$work/code" -v bad="$work/bad" '
  function deepest(path,   f, best) {
    best = ""
    for (f in known)
      if (index(path, f "/") == 1 && length(f) > length(best)) best = f
    return best
  }
  BEGIN { while ((getline f < folders) > 0) known[f] = 1 }
  {
    split($0, parts, ":"); file = parts[1]; line = parts[2]
    target = $0; sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
    from = deepest(substr(file, 5))
    if (from == "") next  # a file of src/ itself, in no folder
    to = deepest(target)
    if (to == "") { print file ":" line ": \"" target "\" is in no folder of the table" > bad; next }
    if (to != from && !((from, to) in seen)) {
      seen[from, to] = 1
      print from " -> " to "\t" file ":" line ": #include \"" target "\"" > edges
    }
  }' "$work/includes"
touch "$work/code"

status=0
if [ -s "$work/bad" ]; then
  sed 's/^/check-layers: /' "$work/bad" >&2
  status=1
fi
sort -u "$work/doc" > "$work/doc.sorted"
cut -f1 "$work/code" | sort -u > "$work/code.sorted"
only_code=$(comm -23 "$work/code.sorted" "$work/doc.sorted")
only_doc=$(comm -13 "$work/code.sorted" "$work/doc.sorted")
if [ -n "$only_code" ] || [ -n "$only_doc" ]; then
  echo "check-layers: the includes in src/ and the \"may use\" column of $doc differ:" >&2
  while IFS= read -r edge; do
    [ -n "$edge" ] || continue
    where=$(awk -F'\t' -v e="$edge" '$1 == e { print $2; exit }' "$work/code")
    echo "  + $edge   used, not in the table ($where)" >&2
  done <<< "$only_code"
  while IFS= read -r edge; do
    [ -n "$edge" ] && echo "  - $edge   in the table, not used" >&2
  done <<< "$only_doc"
  status=1
fi
[ $status -ne 0 ] || echo "check-layers: $(wc -l < "$work/code.sorted") edges, as $doc says"
exit $status
