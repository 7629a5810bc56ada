#!/usr/bin/env bash
# The Authenticode signatures of the shipped Windows files, checked with osslsigncode against the CA
# that issued the build's certificate. One case per call:
#   signature_test.sh signed FILE                    FILE has exactly one valid SHA-256 signature
#   signature_test.sh changed-byte FILE              FILE with one byte of its content changed fails
#   signature_test.sh package MSI NAME=FILE...       the MSI holds exactly these files, each the signed one
#   signature_test.sh archive CPACK_CONFIG ARCHIVE NAME=FILE...
#                                                    the release archive's files are the signed ones
#   signature_test.sh sign-again FILE                signing a signed file again never nests signatures
#   signature_test.sh password-hidden BUILD_DIR      the password is in no text file of the build
# Environment: OSSLSIGNCODE, CA (PEM), and for sign-again CMAKE, SIGN_SCRIPT, PFX, PASSWORD_FILE.
set -uo pipefail

fail() { echo "FAILED: $*" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tovusb-signature.XXXXXX")
trap 'rm -rf "$work"' EXIT

# verify FILE: osslsigncode's report in $work/verify.txt, its exit status as the function's.
verify() {
  "$OSSLSIGNCODE" verify -CAfile "$CA" -in "$1" >"$work/verify.txt" 2>&1
}

expect_signed() {
  local file=$1
  [ -f "$file" ] || fail "$file does not exist"
  if ! verify "$file"; then
    cat "$work/verify.txt" >&2; fail "$file does not verify against $CA"
  fi
  grep -q "^Signature verification: ok" "$work/verify.txt" || fail "$file: no successful verification"
  local signatures
  signatures=$(grep -c "^Signature Index:" "$work/verify.txt")
  [ "$signatures" = 1 ] || fail "$file carries $signatures signatures, expected 1"
  grep -q "^Number of verified signatures: 1" "$work/verify.txt" || fail "$file: not exactly one verified signature"
  grep -Eq "^Message digest algorithm *: SHA256" "$work/verify.txt" ||
    fail "$file is not signed with SHA-256: $(grep "Message digest algorithm" "$work/verify.txt" | head -1)"
}

# same_file NAME EXPECTED GOT: GOT is byte for byte the built (signed) EXPECTED.
same_file() {
  [ -f "$3" ] || fail "$1 is missing"
  cmp -s "$2" "$3" || fail "$1 differs from the signed $2"
  expect_signed "$3"
}

# check_tree ROOT NAME=FILE...: the PE and MSI files below ROOT are exactly the NAMEs, each the
# signed FILE.
check_tree() {
  local root=$1; shift
  local expected=() pair
  for pair in "$@"; do
    expected+=("${pair%%=*}")
    same_file "${pair%%=*}" "${pair#*=}" "$root/${pair%%=*}"
  done
  local found
  found=$(cd "$root" && find . -type f \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.msi' \) | sed 's|^\./||' | sort)
  local want
  want=$(printf '%s\n' "${expected[@]}" | sort)
  [ "$found" = "$want" ] || fail "holds the programs
$found
but should hold exactly
$want"
}

case=${1:-}
shift || true
case $case in
  signed)
    expect_signed "$1"
    ;;

  changed-byte)
    file=$1
    expect_signed "$file"
    copy="$work/$(basename "$file")"
    cp "$file" "$copy"
    size=$(stat -c %s "$copy")
    # A PE image: a byte a third into the file, inside its sections (the signature is at the end).
    # An MSI: a byte of the embedded cabinet, one of the streams the signature covers.
    offset=$((size / 3))
    if [ "$(head -c 8 "$copy" | od -An -tx1 | tr -d ' \n')" = d0cf11e0a1b11ae1 ]; then
      offset=$(grep -obUaP 'MSCF\x00\x00\x00\x00' "$copy" | head -1 | cut -d: -f1)
      [ -n "$offset" ] || fail "$file holds no cabinet"
      offset=$((offset + 64))
    fi
    original=$(od -An -tu1 -j "$offset" -N 1 "$copy" | tr -d ' ')
    printf "$(printf '\\%03o' $(( (original + 1) % 256 )))" |
      dd of="$copy" bs=1 seek="$offset" count=1 conv=notrunc status=none
    cmp -s "$file" "$copy" && fail "the copy of $file was not changed"
    if verify "$copy"; then
      cat "$work/verify.txt" >&2; fail "$file with byte $offset changed still verifies"
    fi
    grep -Eq "^Calculated (message digest|DigitalSignature) *:.*MISMATCH" "$work/verify.txt" || {
      cat "$work/verify.txt" >&2; fail "$file with byte $offset changed fails, but not on its digest"; }
    ;;

  package)
    msi=$1; shift
    expect_signed "$msi"
    command -v msiextract >/dev/null || fail "msiextract is missing (msitools; run scripts/bootstrap.sh)"
    msiextract -C "$work/files" "$msi" >"$work/extract.txt" 2>&1 || { cat "$work/extract.txt" >&2; fail "cannot unpack $msi"; }
    root="$work/files/Program Files/TovUSB"
    [ -d "$root" ] || fail "$msi installs nothing into Program Files/TovUSB"
    check_tree "$root" "$@"
    ;;

  archive)
    config=$1 name=$2; shift 2
    cpack=${CPACK:-cpack}
    (cd "$(dirname "$config")" && "$cpack" --config "$config" -B "$work/cpack") >"$work/cpack.txt" 2>&1 ||
      { cat "$work/cpack.txt" >&2; fail "cpack failed"; }
    [ -f "$work/cpack/$name.zip" ] || fail "cpack made no $name.zip"
    mkdir -p "$work/unpacked"
    (cd "$work/unpacked" && cmake -E tar xf "$work/cpack/$name.zip") || fail "cannot unpack $name.zip"
    check_tree "$work/unpacked/$name" "$@"
    ;;

  sign-again)
    file=$1
    expect_signed "$file"
    [ -f "$file.signature" ] || fail "$file has no signing record $file.signature"
    copy="$work/$(basename "$file")"
    cp "$file" "$copy"
    cp "$file.signature" "$copy.signature"
    sign() {
      "$CMAKE" -DOSSLSIGNCODE="$OSSLSIGNCODE" -DPFX="$PFX" -DPASSWORD_FILE="$PASSWORD_FILE" \
               -DFILE="$copy" -P "$SIGN_SCRIPT" >"$work/sign.txt" 2>&1 || { cat "$work/sign.txt" >&2; fail "signing failed"; }
    }
    # The build signing the same file again leaves it alone.
    sign
    cmp -s "$file" "$copy" || fail "signing $file a second time changed it"
    # A signed file without its record (copied, or signed elsewhere) gets one signature, not two.
    rm "$copy.signature"
    sign
    cmp -s "$file" "$copy" && fail "signing $file without its record did not sign it"
    expect_signed "$copy"
    [ -f "$copy.signature" ] || fail "signing wrote no record"
    [ "$(cut -d' ' -f1 "$copy.signature")" = "$(sha256sum "$copy" | cut -d' ' -f1)" ] ||
      fail "the record does not hold the signed file's SHA-256"
    ;;

  password-hidden)
    build=$1
    [ -s "$PASSWORD_FILE" ] || fail "no password in $PASSWORD_FILE"
    # Every text file of the build: makefiles with the commands make prints, the cache, the
    # nested 64-bit build's logs and command files; all but the password file itself.
    hits=$(grep -rIlF --exclude=pfx-password -f "$PASSWORD_FILE" "$build")
    [ -z "$hits" ] || fail "the password appears in
$hits"
    ;;

  *)
    fail "unknown case '$case'"
    ;;
esac
echo "ok"
