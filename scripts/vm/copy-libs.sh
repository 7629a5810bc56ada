#!/usr/bin/env bash
# copy-libs.sh ROOT ELF...: copies into ROOT, at the same paths, the shared libraries (and the
# dynamic loader) that each ELF file needs on this machine, as ldd resolves them. Files that are
# not dynamic ELF files are passed over. Fails when ldd cannot resolve a library.
set -euo pipefail
dest=$1; shift
for f in "$@"; do
  [ -f "$f" ] || continue
  head -c 4 "$f" | grep -q $'\x7fELF' || continue
  out=$(ldd "$f" 2>&1) || continue        # "not a dynamic executable"
  if echo "$out" | grep -q 'not found'; then
    echo "vm: $f needs libraries this machine does not have:" >&2
    echo "$out" | grep 'not found' >&2
    exit 1
  fi
  for lib in $(echo "$out" | awk '/=> \// { print $3 } /^\t\/[^ ]+ \(/ { print $1 }'); do
    [ -e "$dest$lib" ] && continue
    mkdir -p "$dest$(dirname "$lib")"
    cp -L "$lib" "$dest$lib"
  done
done
