#!/usr/bin/env bash
# glibc_floor.sh READELF DIR COUNT: every ELF file under DIR (a package or archive unpacked) needs no
# C library symbol version newer than the floor below, the ICA Client for Linux's own minimum; DIR
# must hold exactly COUNT ELF files, each of which needs at least one GLIBC_ version (so a file
# that cannot be read fails rather than passes). Prints each file's newest version.
# The package's dependency on libc6 is read from the same line (setup/linux/package).
floor=2.27
set -uo pipefail
readelf=$1 dir=$2 expected=$3
count=0 bad=0
while IFS= read -r -d '' f; do
  [ "$(head -c 4 "$f" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
  count=$((count + 1))
  versions=$("$readelf" -V -W "$f" | sed -n 's/.*Name: GLIBC_\([0-9.]*\) .*/\1/p' | sort -uV)
  newest=$(tail -1 <<<"$versions")
  if [ -z "$newest" ]; then
    echo "FAILED ${f#"$dir"/}: no GLIBC_ symbol versions read"; bad=1; continue
  fi
  above=$(while read -r v; do
            [ "$(printf '%s\n%s\n' "$floor" "$v" | sort -V | tail -1)" != "$floor" ] && echo "GLIBC_$v"; done <<<"$versions" | xargs)
  if [ -n "$above" ]; then
    echo "FAILED ${f#"$dir"/}: needs $above (floor GLIBC_$floor)"; bad=1
  else
    echo "${f#"$dir"/}: newest GLIBC_$newest"
  fi
done < <(find "$dir" -type f -print0 | sort -z)
if [ "$count" != "$expected" ]; then echo "FAILED: $count ELF files under $dir, expected $expected"; bad=1; fi
exit $bad
