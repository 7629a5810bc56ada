# Sourced by linux-package.sh once every package is built (uses its check, unpacked, $work, $deb,
# $rpm1, $archive and the cross packages): the packages as Debian and RPM systems check them.
# - The shipped ELF files are stripped by our build, their debug information kept beside it
#   (FILE.debug, named by the file's .gnu_debuglink), and the .deb, the RPM and the archive ship
#   the same bytes.
# - The RPM marks no file as a configuration file (we ship none) and has our description.
# - An RPM built with a key (a throw-away one of a non-interactive gpg) passes `rpm -K` against a
#   database that holds its public half, and fails it with one byte changed.
# - lintian (every .deb) and rpmlint (the signed RPM) report no error but our documented choice:
#   the files live in /opt/tovusb, as the ICA Client itself lives in /opt
#   (docs/ADMINISTRATORS-LINUX.md).
programs="VDTOVUSB.DLL:driver/VDTOVUSB.DLL tovusb-setup:setup/linux/app/tovusb-setup tovusb-devicecheck:devicecheck/linux/app/tovusb-devicecheck"
stripped_with_debug_beside() {  # FILE BUILT: FILE has no symbol table or debug section; BUILT.debug has them
  ! readelf -S -W "$1" | grep -Eq ' \.(symtab|debug_[a-z]+) ' &&
    readelf -S -W "$2.debug" | grep -q ' \.debug_info ' &&
    readelf -p .gnu_debuglink "$1" | grep -q "$(basename "$2").debug"
}
same_bytes() { cmp "$1" "$2" && cmp "$1" "$3"; }
archive_top=$(tar tzf "$archive" | head -1 | cut -d/ -f1)
for entry in $programs; do
  name=${entry%%:*} built=build/linux/${entry#*:}
  from_deb=$(unpacked "$deb")/opt/tovusb/$name
  check "$name: stripped, its debug information beside the build" stripped_with_debug_beside "$from_deb" "$built"
  check "$name: the .deb, the RPM and the archive ship the same bytes" \
    same_bytes "$from_deb" "$(unpacked "$rpm1")/opt/tovusb/$name" "$(unpacked "$archive")/$archive_top/$name"
done
check "the RPM marks no file as a configuration file" test -z "$(rpm -qp --configfiles "$rpm1")"
described() { rpm -qp --qf '%{DESCRIPTION}' "$1" | grep -q '^The virtual channel driver TovUSB for the Citrix ICA Client for Linux'; }
check "the RPM has our description" described "$rpm1"

lint_log=build/linux-package-lint.log
debs=("$deb")
for cross in build/linux-arm64/tovusb_*_arm64.deb build/linux-armhf/tovusb_*_armhf.deb; do [ -e "$cross" ] && debs+=("$cross"); done
# lintian: errors fail (--fail-on error); the tags of the files in /opt are our choice.
deb_lint() { lintian --fail-on error --suppress-tags dir-or-file-in-opt "$@" >"$lint_log" 2>&1; }
check "lintian: no error in the ${#debs[@]} .deb packages but files in /opt" deb_lint "${debs[@]}"
# Signing: a throw-away key without a passphrase, made in a gpg home of its own.
export GNUPGHOME=$work/gnupg
mkdir -m 700 "$GNUPGHOME"
signer="TovUSB test signing <rpm-signing@tovusb.invalid>"
gpg --batch --passphrase '' --quick-gen-key "$signer" rsa3072 sign 1d >"$work/gpg.out" 2>&1
gpg --batch --armor --export rpm-signing@tovusb.invalid >"$work/signing-key.asc" 2>>"$work/gpg.out"
rm -f build/linux/tovusb-*-3.x86_64.rpm
(cd build/linux && cpack -G RPM -D CPACK_RPM_PACKAGE_RELEASE=3 -D CPACK_TOV_RPM_SIGN_KEY=rpm-signing@tovusb.invalid) >>"$rpm_log" 2>&1
signed=$(ls build/linux/tovusb-*-3.x86_64.rpm 2>/dev/null | head -1)
keydb=$work/rpm-keys
mkdir -p "$keydb"
rpm --dbpath "$keydb" --initdb && rpm --dbpath "$keydb" --import "$work/signing-key.asc"
signature_ok() { [ -n "$1" ] && rpm --dbpath "$keydb" -K "$1" | grep -q ': digests signatures OK$'; }
signature_fails() { ! signature_ok "$1"; }
check "the RPM built with a key is signed: rpm -K with its public key" signature_ok "$signed"
if [ -n "$signed" ]; then
  cp "$signed" "$work/changed.rpm"
  at=$(($(stat -c %s "$work/changed.rpm") - 100))
  byte=$(od -An -tu1 -j "$at" -N1 "$work/changed.rpm")
  printf "\\$(printf %o $((byte ^ 255)))" | dd of="$work/changed.rpm" bs=1 seek="$at" conv=notrunc status=none
  check "a signed RPM with one byte changed fails rpm -K" signature_fails "$work/changed.rpm"
fi
gpgconf --kill gpg-agent 2>/dev/null  # the agent gpg started for the throw-away home
unset GNUPGHOME
# rpmlint on the package as we ship it, signed; it checks the signature against the rpm database
# that ~/.rpmmacros names, here the one with the throw-away key.
cat >"$work/rpmlint.toml" <<'TOML'
Filters = ['dir-or-file-in-opt']
TOML
mkdir -p "$work/home"
echo "%_dbpath $keydb" >"$work/home/.rpmmacros"
rpm_lint() { [ -n "$1" ] && HOME=$work/home rpmlint --config "$work/rpmlint.toml" "$1" >>"$lint_log" 2>&1; }
check "rpmlint: no error in the signed RPM package but files in /opt" rpm_lint "$signed"
if [ "$failed" -gt 0 ]; then echo "--- lintian and rpmlint"; grep -E '^[EW]: |: [EW]: ' "$lint_log" | head -40; fi
