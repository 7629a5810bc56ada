#!/usr/bin/env bash
# Checks one property of the shipping Linux driver's image with readelf; each is its own CTest test.
#   check_elf_module.sh READELF MODULE MACHINE CHECK     (MACHINE: x86-64, aarch64 or armhf)
#   CHECK: FileFormat     a little-endian ELF shared object (type DYN) for MACHINE, 64-bit (32-bit
#                         with the hard-float EABI on armhf)
#          ExportsOnlyLoad  "Load" is the only function or object the module defines for others
#          NeedsOnlyLibc    the NEEDED list is within the C library's own files
#          ArmhfBaseline  (any armhf ELF file) its code needs no more than Debian's armhf baseline:
#                         ARMv7-A with Thumb-2 and VFPv3-D16 (no NEON), float arguments in VFP
#                         registers; the build attributes are the maximum over every object linked in
set -uo pipefail
readelf=$1 module=$2 machine=$3 check=$4

fail() { echo "FAILED $check: $1" >&2; exit 1; }
[ -f "$module" ] || fail "$module does not exist"

case $check in
FileFormat)
  header=$("$readelf" -h "$module" 2>&1) || fail "readelf failed: $header"
  class=ELF64
  case $machine in
    x86-64) expected="Advanced Micro Devices X86-64" ;;
    aarch64) expected="AArch64" ;;
    armhf) expected="ARM" class=ELF32
           grep -Eq "^ +Flags: +0x5000400, Version5 EABI, hard-float ABI$" <<<"$header" ||
             fail "not the hard-float EABI 5: $(grep Flags: <<<"$header")" ;;
    *) fail "unknown machine $machine" ;;
  esac
  grep -Eq "^ +Class: +$class$" <<<"$header" || fail "not $class: $(grep Class <<<"$header")"
  grep -Eq "^ +Data: +2's complement, little endian$" <<<"$header" || fail "not little endian"
  grep -Eq "^ +Type: +DYN " <<<"$header" || fail "not a shared object: $(grep Type: <<<"$header")"
  grep -Eq "^ +Machine: +$expected$" <<<"$header" || fail "machine: $(grep Machine: <<<"$header") (expected $expected)"
  echo "$class shared object for $expected" ;;
ExportsOnlyLoad)
  # Defined (section index not UND) global or weak symbols of the dynamic symbol table.
  symbols=$("$readelf" --dyn-syms -W "$module" 2>&1) || fail "readelf failed: $symbols"
  exports=$(awk '$1 ~ /^[0-9]+:$/ && ($5 == "GLOBAL" || $5 == "WEAK") && $7 != "UND" {print $8}' <<<"$symbols" |
            sed 's/@.*//' | sort -u)
  [ "$exports" = "Load" ] || fail "exports: $(tr '\n' ' ' <<<"$exports")"
  kind=$(awk '$1 ~ /^[0-9]+:$/ && $8 == "Load" && $7 != "UND" {print $4}' <<<"$symbols")
  [ "$kind" = "FUNC" ] || fail "Load is a $kind, not a function"
  echo "exports: Load" ;;
NeedsOnlyLibc)
  dynamic=$("$readelf" -d "$module" 2>&1) || fail "readelf failed: $dynamic"
  needed=$(sed -n 's/.*(NEEDED).*Shared library: \[\(.*\)\]/\1/p' <<<"$dynamic")
  [ -n "$needed" ] || fail "no NEEDED entries at all (not dynamically linked?)"
  bad=""
  for name in $needed; do
    case $name in
      # libpthread and libdl are the C library's own files before glibc 2.34 merged them into libc.
      libc.so.6 | libm.so.6 | libpthread.so.0 | libdl.so.2 | ld-linux-x86-64.so.2 | ld-linux-aarch64.so.1 | ld-linux-armhf.so.3) ;;
      *) bad+="$name " ;;
    esac
  done
  [ -z "$bad" ] || fail "needs libraries beyond the C library: $bad"
  echo "needs: $(tr '\n' ' ' <<<"$needed")" ;;
ArmhfBaseline)
  attributes=$("$readelf" -A "$module" 2>&1) || fail "readelf failed: $attributes"
  tag() { sed -n "s/^ *Tag_$1: //p" <<<"$attributes"; }
  [ "$(tag CPU_arch)" = v7 ] || fail "Tag_CPU_arch: '$(tag CPU_arch)' (expected v7)"
  [ "$(tag CPU_arch_profile)" = Application ] || fail "Tag_CPU_arch_profile: '$(tag CPU_arch_profile)'"
  [ "$(tag THUMB_ISA_use)" = Thumb-2 ] || fail "Tag_THUMB_ISA_use: '$(tag THUMB_ISA_use)' (expected Thumb-2)"
  [ "$(tag FP_arch)" = VFPv3-D16 ] || fail "Tag_FP_arch: '$(tag FP_arch)' (expected VFPv3-D16)"
  [ -z "$(tag Advanced_SIMD_arch)" ] || fail "needs NEON: Tag_Advanced_SIMD_arch: $(tag Advanced_SIMD_arch)"
  [ "$(tag ABI_VFP_args)" = "VFP registers" ] || fail "Tag_ABI_VFP_args: '$(tag ABI_VFP_args)'"
  echo "ARMv7-A, Thumb-2, VFPv3-D16, hard float" ;;
*) fail "unknown check" ;;
esac
