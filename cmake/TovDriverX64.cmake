# The 64-bit driver inside the 32-bit build.
#
# The setup program is a 32-bit program, but a current ICA Client is 64-bit and loads only 64-bit
# virtual drivers, so the win32 build ships both drivers. This file builds the project a second
# time with the x86-64 toolchain, tests off, and only the targets the 32-bit build needs from it:
#   tov_driver_x64          the target that produces the 64-bit TovaroCitrixVC.dll
#   TOV_DRIVER_X64_FILE     its path (for the setup program's folder, packages and archives)
#   TOV_ENGINE_SIM_X64_FILE the 64-bit engine simulator (tests load the installed 64-bit driver in it)
# Included from the top-level CMakeLists.txt, so the variables are visible to the whole build.
if(NOT TOV_WINDOWS OR NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()

include(ExternalProject)

set(tov_x64_dir ${CMAKE_BINARY_DIR}/x64-build)
set(TOV_DRIVER_X64_FILE ${tov_x64_dir}/driver/TovaroCitrixVC.dll)
set(TOV_ENGINE_SIM_X64_FILE ${tov_x64_dir}/tools/engine_sim/engine_sim.exe)

set(tov_x64_targets TovaroCitrixVC)
set(tov_x64_byproducts ${TOV_DRIVER_X64_FILE})
if(TOV_BUILD_TESTS)
  list(APPEND tov_x64_targets engine_sim)
  list(APPEND tov_x64_byproducts ${TOV_ENGINE_SIM_X64_FILE})
endif()

if(CMAKE_GENERATOR MATCHES "Make")
  # $(MAKE) shares the outer make's job slots instead of starting a second set of jobs.
  set(tov_x64_build $(MAKE) ${tov_x64_targets})
else()
  set(tov_x64_build ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${tov_x64_targets})
endif()

ExternalProject_Add(tov_driver_x64
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${tov_x64_dir}
  PREFIX ${CMAKE_BINARY_DIR}/x64-build-stamps
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-x86_64.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DTOV_BUILD_TESTS=OFF
    ${TOV_SIGN_SUBBUILD_ARGS}
  BUILD_COMMAND ${tov_x64_build}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${tov_x64_byproducts}
  USES_TERMINAL_BUILD OFF)
