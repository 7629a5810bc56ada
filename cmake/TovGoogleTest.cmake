# GoogleTest is built from Debian's source package for every target.
set(TOV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${TOV_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest source not found at ${TOV_GTEST_SOURCE}; run scripts/bootstrap.sh")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${TOV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)
