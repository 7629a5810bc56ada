# Read by cpack for each generator: the .deb gets /usr/share/doc/tovusb (DebianDocuments.cmake).
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_INSTALLED_DIRECTORIES "${CPACK_TOV_DEBIAN_DOCUMENTS};usr/share/doc/tovusb")
endif()
