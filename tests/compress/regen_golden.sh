#!/usr/bin/env bash
# Regenerates golden.txt from the current codec: builds the release preset,
# shows the difference to the committed streams, and rewrites the file only
# when asked to (--write).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cmake --preset release >/dev/null
cmake --build --preset release --target compress_golden >/dev/null
new="$(mktemp)"
"$root/build/release/tests/compress/compress_golden" --print > "$new"
if diff -u "$root/tests/compress/golden.txt" "$new"; then
  echo "golden streams unchanged"
elif [ "${1:-}" = "--write" ]; then
  cp "$new" "$root/tests/compress/golden.txt"
  echo "golden.txt rewritten"
else
  echo "streams differ; rerun with --write to accept them"
fi
rm -f "$new"
