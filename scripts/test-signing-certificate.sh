#!/usr/bin/env bash
# Makes the throw-away certificate authority and code-signing certificate that the test run signs
# the Windows builds with:
#   scripts/test-signing-certificate.sh DIR
# writes DIR/ca.pem (the CA's certificate, to verify against), DIR/tovusb-test.pfx (the code-signing
# certificate, its chain and key, PKCS#12) and DIR/password (the PFX's random password, owner-only).
# The CA's key is deleted once the certificate is issued, so nothing else can ever be signed by it.
# A set that is still valid for more than a day is kept, so that a second test run does not re-sign
# every file; a new set makes the builds sign again.
set -euo pipefail
dir=${1:?usage: test-signing-certificate.sh DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

if [ -s "$dir/ca.pem" ] && [ -s "$dir/tovusb-test.pfx" ] && [ -s "$dir/password" ] &&
   openssl x509 -in "$dir/ca.pem" -noout -checkend 86400 >/dev/null 2>&1 &&
   openssl pkcs12 -in "$dir/tovusb-test.pfx" -passin "file:$dir/password" -nokeys -clcerts 2>/dev/null |
     openssl x509 -noout -checkend 86400 >/dev/null 2>&1; then
  echo "signing certificate: kept $dir/tovusb-test.pfx"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tovusb-ca.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 700 "$work"
umask 077

openssl req -x509 -newkey rsa:3072 -nodes -sha256 -days 30 -keyout "$work/ca.key" -out "$work/ca.pem" \
  -subj "/O=TovUSB Test/CN=TovUSB Throw-away Test CA" \
  -addext "basicConstraints=critical,CA:TRUE,pathlen:0" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" >/dev/null 2>&1
openssl req -newkey rsa:3072 -nodes -sha256 -keyout "$work/sign.key" -out "$work/sign.csr" \
  -subj "/O=TovUSB Test/CN=TovUSB Test Code Signing" >/dev/null 2>&1
cat >"$work/code-signing.ext" <<'EOF'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
EOF
openssl x509 -req -sha256 -days 30 -in "$work/sign.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
  -set_serial "0x$(openssl rand -hex 16)" -extfile "$work/code-signing.ext" -out "$work/sign.pem" >/dev/null 2>&1
openssl rand -hex 24 >"$work/password.line"
tr -d '\n' <"$work/password.line" >"$work/password"
openssl pkcs12 -export -in "$work/sign.pem" -inkey "$work/sign.key" -certfile "$work/ca.pem" \
  -name "TovUSB Test Code Signing" -passout "file:$work/password" -out "$work/tovusb-test.pfx"

umask 022
install -m 644 "$work/ca.pem" "$dir/ca.pem"
install -m 600 "$work/password" "$dir/password"
install -m 600 "$work/tovusb-test.pfx" "$dir/tovusb-test.pfx"
echo "signing certificate: made $dir/tovusb-test.pfx, issued by $dir/ca.pem"
