#!/usr/bin/env bash
# Fails when a relative link in the project's documents leads nowhere: a
# file or folder that does not exist, or an #anchor that names no heading of
# its file (headings made into anchors as GitHub makes them: lower case,
# punctuation dropped, spaces as hyphens). Links to other sites are not
# followed. Also fails when a sample of a trace in a document (rows below)
# is not that trace's lines.
#   check_doc_links.sh SOURCE_DIR
set -uo pipefail
root=$1
cd "$root" || exit 2
bad=0

# The anchors of a document's headings, one a line; code blocks skipped.
anchors() {
  awk '/^```/ { code = !code; next } !code && /^#+ / { sub(/^#+ +/, ""); print }' "$1" |
    tr 'A-Z' 'a-z' | sed -e 's/[^a-z0-9 _-]//g' -e 's/ /-/g'
}

for doc in README.md CONTRIBUTING.md CHANGELOG.md docs/*.md; do
  dir=$(dirname "$doc")
  # Every ](target) outside code blocks, with its line number.
  while IFS=: read -r line target; do
    case "$target" in http://* | https://* | mailto:*) continue ;; esac
    path=${target%%#*}
    anchor=""
    [ "$path" != "$target" ] && anchor=${target#*#}
    file=$doc
    if [ -n "$path" ]; then
      file=$dir/$path
      if [ ! -e "$file" ]; then
        echo "$doc:$line: $target: no file $file"
        bad=1
        continue
      fi
    fi
    if [ -n "$anchor" ] && ! grep -qxF -- "$anchor" <<<"$(anchors "$file")"; then
      echo "$doc:$line: $target: no heading with the anchor #$anchor in $file"
      bad=1
    fi
  done < <(awk '/^```/ { code = !code; next } !code { while (match($0, /\]\([^) ]+\)/)) {
             print NR ":" substr($0, RSTART + 2, RLENGTH - 3); $0 = substr($0, RSTART + RLENGTH) } }' "$doc")
done
[ $bad -eq 0 ] && echo "every relative link in README.md, CONTRIBUTING.md, CHANGELOG.md and docs/ resolves"

# The samples of a trace that a document shows, each against the trace a test
# expects: document|its section's heading|expected trace. The section's first
# ```text block holds runs of the trace's lines in order, "..." for the lines
# left out between them; without "..." at its top it starts at the trace's
# first line, without one at its end it ends at the last.
samples=(
  "README.md|Two commands|examples/expected/ShopperVisit.trace"
)
for row in "${samples[@]}"; do
  IFS='|' read -r doc heading trace <<<"$row"
  awk -v heading="$heading" -v trace="$trace" -v doc="$doc" '
    FNR == NR { want[++n] = $0; next }
    !section { section = ($0 ~ /^#+ / && substr($0, index($0, " ") + 1) == heading); next }
    !open && !ended { if ($0 == "```text") open = 1; next }
    !open { next }
    $0 ~ /^```/ { open = 0; ended = 1; next }
    $0 == "..." { gap = 1; next }
    {
      if (gap) {
        for (at++; at <= n && want[at] != $0; at++);
        if (at > n) { printf "%s:%d: no such line follows in %s: %s\n", doc, FNR, trace, $0; bad = 1; exit }
      } else if (want[++at] != $0) {
        printf "%s:%d: line %d of %s is %s\n  the sample has %s\n", doc, FNR, at, trace, want[at], $0
        bad = 1; exit
      }
      gap = 0
    }
    END {
      if (bad) exit 1
      if (!ended) { printf "%s: no ```text block under \"%s\" to compare with %s\n", doc, heading, trace; exit 1 }
      if (!gap && at != n) {
        printf "%s: the sample under \"%s\" ends at line %d of %s, not at its last, and no \"...\" says so\n", doc, heading, at, trace
        exit 1
      }
    }' "$trace" "$doc" || bad=1
done
[ $bad -eq 0 ] && echo "the samples of traces in README.md are the expected traces' lines"
exit $bad
