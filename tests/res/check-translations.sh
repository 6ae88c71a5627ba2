#!/usr/bin/env bash
# Fails while lupdate finds a source text of the client without a finished
# zh_CN entry. Runs lupdate on a copy: the committed file stays as it is.
# Usage: check-translations.sh <lupdate> <client folder> <ts file>
set -euo pipefail
lupdate=$1 client=$2 ts=$3
work=$(mktemp -d /tmp/ts-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/check.ts"
"$lupdate" -silent -locations none -no-obsolete "$client" -ts "$work/check.ts"
# Each message is one <message> element; print the sources of unfinished ones.
unfinished=$(awk '/<message/{m=""} {m=m $0 "\n"} /<\/message>/{ if (m ~ /type="unfinished"/) printf "%s", m }' "$work/check.ts" |
  grep -o '<source>[^<]*</source>' || true)
if [ -n "$unfinished" ]; then
  echo "Texts without a finished zh_CN translation (add them to $ts, see res/CMakeLists.txt):" >&2
  echo "$unfinished" >&2
  exit 1
fi
echo "every source text has a finished zh_CN entry"
