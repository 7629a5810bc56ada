# The Debian package's /usr/share/doc/tovusb: the copyright file and the changelog (compressed as
# Debian policy asks: gzip -9n, no name or time stamp, so the same changelog gives the same bytes).
# Only the .deb holds them (CPackPerGenerator.cmake); the RPM keeps its changelog in its header.
# The changelog's newest entry must name the version being built.
set(changelog ${CMAKE_CURRENT_SOURCE_DIR}/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog} ${CMAKE_CURRENT_SOURCE_DIR}/copyright)
file(STRINGS ${changelog} changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^tovusb \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "setup/linux/package/changelog: its newest entry is not version ${PROJECT_VERSION}: ${changelog_head}")
endif()
set(doc_dir ${CMAKE_CURRENT_BINARY_DIR}/debian-documents)
file(REMOVE_RECURSE ${doc_dir})
file(MAKE_DIRECTORY ${doc_dir})
file(COPY ${CMAKE_CURRENT_SOURCE_DIR}/copyright DESTINATION ${doc_dir})
execute_process(COMMAND gzip -9n -c ${changelog} OUTPUT_FILE ${doc_dir}/changelog.gz RESULT_VARIABLE gzip_rc)
if(NOT gzip_rc EQUAL 0)
  message(FATAL_ERROR "gzip of the changelog failed")
endif()
set(CPACK_TOV_DEBIAN_DOCUMENTS ${doc_dir})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/CPackPerGenerator.cmake)
