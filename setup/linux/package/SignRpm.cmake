# Run by cpack after it wrote the packages (CPACK_POST_BUILD_SCRIPTS): signs each RPM with the key
# CPACK_TOV_RPM_SIGN_KEY when one is given. rpmsign runs gpg without a terminal, so the key must be
# usable without a passphrase prompt (no passphrase, or a gpg-agent that holds it).
if(NOT CPACK_GENERATOR STREQUAL "RPM" OR CPACK_TOV_RPM_SIGN_KEY STREQUAL "")
  return()
endif()
find_program(rpmsign NAMES rpmsign REQUIRED)
find_program(gpg NAMES gpg gpg2 REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.rpm$")
    continue()
  endif()
  execute_process(COMMAND ${rpmsign} --define "_gpg_name ${CPACK_TOV_RPM_SIGN_KEY}" --define "__gpg ${gpg}"
                          --addsign ${package}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    # No unsigned package under the name of a signed one.
    file(REMOVE ${package})
    message(FATAL_ERROR "signing ${package} with the key ${CPACK_TOV_RPM_SIGN_KEY} failed: ${out}")
  endif()
  message(STATUS "signed ${package} with the key ${CPACK_TOV_RPM_SIGN_KEY}")
endforeach()
