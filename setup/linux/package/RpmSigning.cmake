# The RPM package is signed when the build is given a gpg key (as the Windows files are signed when
# it is given a certificate): TOV_RPM_SIGN_KEY names the key as gpg knows it (its id, fingerprint or
# e-mail address) in the keyring of $GNUPGHOME or ~/.gnupg; `cpack -G RPM` then signs the package
# with rpmsign, and a failed signature fails cpack. `rpm -K` checks it once the key is imported.
set(TOV_RPM_SIGN_KEY "" CACHE STRING "gpg key that signs the RPM package (empty: unsigned)")
set(CPACK_TOV_RPM_SIGN_KEY "${TOV_RPM_SIGN_KEY}")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/SignRpm.cmake)
