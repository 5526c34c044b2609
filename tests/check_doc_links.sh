#!/usr/bin/env bash
# Fails when a relative link in the project's documents leads nowhere: a
# file or folder that does not exist, or an #anchor that names no heading of
# its file (headings made into anchors as GitHub makes them: lower case,
# punctuation dropped, spaces as hyphens). Links to other sites are not
# followed.
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
exit $bad
