#!/usr/bin/env bash
# copy-libs.sh DEST ELF...: copies into DEST, at the same paths, the shared libraries (and the
# dynamic loader) that each ELF file needs, with what those need in turn. Files that are not dynamic
# ELF files are passed over. Fails when a library cannot be found.
#   by default        the libraries of this machine, as ldd resolves them
#   TOV_LIB_ROOT=DIR  the libraries of another root (the Debian 11 root of scripts/linux-sysroot.sh),
#                     found by name: each NEEDED entry in the file's RUNPATH/RPATH and in the root's
#                     library folders, the loader at the path the file names (PT_INTERP)
set -euo pipefail
dest=$1; shift
libroot=${TOV_LIB_ROOT:-}

is_elf() { [ -f "$1" ] && [ "$(head -c 4 "$1" | od -An -c | tr -d ' ')" = '177ELF' ]; }

copy_in() {  # copy_in SOURCE PATH: SOURCE's contents as DEST/PATH unless there already
  [ -e "$dest$2" ] && return 0
  mkdir -p "$dest$(dirname "$2")"
  cp -L "$1" "$dest$2"
}

from_host() {
  local f=$1 out lib
  out=$(ldd "$f" 2>&1) || return 0        # "not a dynamic executable"
  if echo "$out" | grep -q 'not found'; then
    echo "vm: $f needs libraries this machine does not have:" >&2
    echo "$out" | grep 'not found' >&2
    exit 1
  fi
  for lib in $(echo "$out" | awk '/=> \// { print $3 } /^\t\/[^ ]+ \(/ { print $1 }'); do
    copy_in "$lib" "$lib"
  done
}

# The root's files of one ELF file, and theirs, breadth first; "seen" holds the names done.
declare -A seen=()
from_root() {
  local queue=("$1") f dynamic interp name dirs dir found
  while [ ${#queue[@]} -gt 0 ]; do
    f=${queue[0]}; queue=("${queue[@]:1}")
    dynamic=$(readelf -d -W "$f" 2>/dev/null) || continue
    interp=$(readelf -l -W "$f" 2>/dev/null | sed -n 's/.*Requesting program interpreter: \(.*\)\]$/\1/p')
    if [ -n "$interp" ] && [ -z "${seen[$interp]:-}" ]; then
      seen[$interp]=1
      [ -e "$libroot$interp" ] || { echo "vm: $f's loader $interp is not in $libroot" >&2; exit 1; }
      copy_in "$libroot$interp" "$interp"
    fi
    dirs=$(sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p' <<<"$dynamic" | tr ':' ' ')
    dirs+=" $(cd "$libroot" && echo lib/*-linux-gnu usr/lib/*-linux-gnu) lib usr/lib"
    for name in $(sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' <<<"$dynamic"); do
      [ -n "${seen[$name]:-}" ] && continue
      seen[$name]=1
      found=""
      for dir in $dirs; do
        dir=/${dir#/}
        if [ -e "$libroot$dir/$name" ]; then found=$dir/$name; break; fi
      done
      [ -n "$found" ] || { echo "vm: $f needs $name, which is not in $libroot" >&2; exit 1; }
      copy_in "$libroot$found" "$found"
      queue+=("$libroot$found")
    done
  done
}

for f in "$@"; do
  is_elf "$f" || continue
  if [ -n "$libroot" ]; then from_root "$f"; else from_host "$f"; fi
done
