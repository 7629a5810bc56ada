#!/usr/bin/env bash
# Checks one property of the shipping driver's image with objdump; each is its own CTest test.
#   check_module_image.sh OBJDUMP DLL FORMAT CHECK    (FORMAT: pe-i386 or pe-x86-64)
#   CHECK: FileFormat             the file format and optional-header magic of the target
#          ExportsOnlyLoad        an export table holding exactly "Load"
#          ImportsOnlySystemDlls  imports from Windows system DLLs only
set -uo pipefail
objdump=$1 dll=$2 format=$3 check=$4

fail() { echo "FAILED $check: $1" >&2; exit 1; }

if ! headers=$("$objdump" -p "$dll" 2>&1); then
  fail "objdump failed: $headers"
fi

case $check in
FileFormat)
  # PE32 for i386, PE32+ for x86-64.
  case $format in
    pe-i386) magic="010b" ;;
    pe-x86-64) magic="020b" ;;
    *) fail "unknown format $format" ;;
  esac
  if ! grep -q "file format pei-${format#pe-}" <<<"$headers" || ! grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers"; then
    fail "$(grep -E 'file format|^Magic' <<<"$headers" | tr '\n' ' ') (expected pei-${format#pe-}, magic $magic)"
  fi
  echo "format pei-${format#pe-}, magic $magic" ;;
ExportsOnlyLoad)
  # Exactly one export, by the undecorated name "Load".
  exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[[:space:]]*\[[[:space:]]*[0-9]+\]/ {print $NF; next} on {on=0}' <<<"$headers")
  [ "$exports" = "Load" ] || fail "exports: $(tr '\n' ' ' <<<"$exports")"
  echo "exports: $exports" ;;
ImportsOnlySystemDlls)
  # The C and C++ runtimes are linked statically.
  imports=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$headers")
  bad=""
  for name in $imports; do
    lower=${name,,}
    case $lower in
      kernel32.dll | user32.dll | advapi32.dll | setupapi.dll | hid.dll | msvcrt.dll | gdi32.dll | ntdll.dll | api-ms-win-*.dll) ;;
      *) bad+="$name " ;;
    esac
  done
  [ -n "$imports" ] || fail "no imports found at all"
  [ -z "$bad" ] || fail "imports outside the system DLLs: $bad"
  echo "imports: $(tr '\n' ' ' <<<"$imports")" ;;
*) fail "unknown check" ;;
esac
