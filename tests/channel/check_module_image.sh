#!/usr/bin/env bash
# Checks the shipping driver's image with objdump: the file format, an export table holding exactly
# "Load", and imports from Windows system DLLs only. Writes a GoogleTest-style result file so the
# three checks are counted with the other tests.
#   check_module_image.sh OBJDUMP DLL FORMAT RESULT_XML    (FORMAT: pe-i386 or pe-x86-64)
set -uo pipefail
objdump=$1 dll=$2 format=$3 result=$4

failures=0
cases=""
record() {  # name, failure text ("" = passed)
  if [ -z "$2" ]; then
    cases+="    <testcase name=\"$1\" status=\"run\" result=\"completed\" classname=\"DriverImage\"/>"$'\n'
  else
    failures=$((failures + 1))
    echo "FAILED $1: $2" >&2
    local text=${2//&/&amp;}; text=${text//</&lt;}; text=${text//>/&gt;}; text=${text//\"/&quot;}
    cases+="    <testcase name=\"$1\" status=\"run\" result=\"completed\" classname=\"DriverImage\"><failure message=\"$text\"/></testcase>"$'\n'
  fi
}

if ! headers=$("$objdump" -p "$dll" 2>&1); then
  echo "objdump failed: $headers" >&2
  headers=""
fi

# 1. The file format: PE32 for i386, PE32+ for x86-64.
case $format in
  pe-i386) magic="010b" ;;
  pe-x86-64) magic="020b" ;;
  *) echo "unknown format $format" >&2; exit 2 ;;
esac
if grep -q "file format pei-${format#pe-}" <<<"$headers" && grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers"; then
  record FileFormat ""
else
  record FileFormat "$(grep -E 'file format|^Magic' <<<"$headers" | tr '\n' ' ') (expected pei-${format#pe-}, magic $magic)"
fi

# 2. Exactly one export, by the undecorated name "Load".
exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[[:space:]]*\[[[:space:]]*[0-9]+\]/ {print $NF; next} on {on=0}' <<<"$headers")
if [ "$exports" = "Load" ]; then
  record ExportsOnlyLoad ""
else
  record ExportsOnlyLoad "exports: $(tr '\n' ' ' <<<"$exports")"
fi

# 3. Imports from Windows system DLLs only (the C and C++ runtimes are linked statically).
imports=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$headers")
bad=""
for name in $imports; do
  lower=${name,,}
  case $lower in
    kernel32.dll | user32.dll | advapi32.dll | setupapi.dll | hid.dll | msvcrt.dll | gdi32.dll | ntdll.dll | api-ms-win-*.dll) ;;
    *) bad+="$name " ;;
  esac
done
if [ -n "$imports" ] && [ -z "$bad" ]; then
  record ImportsOnlySystemDlls ""
else
  record ImportsOnlySystemDlls "imports outside the system DLLs: ${bad:-none found at all}"
fi

mkdir -p "$(dirname "$result")"
cat >"$result" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="3" failures="$failures" disabled="0" errors="0" name="AllTests">
  <testsuite name="DriverImage" tests="3" failures="$failures" disabled="0" errors="0">
$cases  </testsuite>
</testsuites>
XML
echo "imports: $(tr '\n' ' ' <<<"$imports"); exports: $exports; $((3 - failures)) of 3 checks passed"
[ "$failures" -eq 0 ]
