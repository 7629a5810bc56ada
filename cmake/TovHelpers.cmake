# tov_add_subsystem(<target> [DEPS ...])
# Builds one static library from the .cpp files of the current folder. Files named *_win32.cpp
# are built only for Windows, *_posix.cpp only for the native build; all others on both.
function(tov_add_subsystem target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(sources "")
  foreach(f IN LISTS all)
    get_filename_component(stem ${f} NAME_WE)
    if(stem MATCHES "_win32$")
      if(TOV_WINDOWS)
        list(APPEND sources ${f})
      endif()
    elseif(stem MATCHES "_posix$")
      if(NOT TOV_WINDOWS)
        list(APPEND sources ${f})
      endif()
    else()
      list(APPEND sources ${f})
    endif()
  endforeach()
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    if(ARG_DEPS)
      target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    endif()
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    if(ARG_DEPS)
      target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    endif()
  endif()
endfunction()

# tov_add_gtest(<name> SOURCES ... LIBS ... [WORKING_DIRECTORY dir] [TIMEOUT s] [ENV VAR=value]
#               [LABELS label] [RESOURCE_LOCK name] [RUN_SERIAL] [PROPERTIES prop value ...])
# One GoogleTest program; every test case in it becomes a CTest test of its own, named
# <name>.<Suite>.<Case>, so CTest counts the cases and runs each in a process of its own. The
# properties (TIMEOUT per case, default 600 s) apply to every case of the program. On Windows
# targets the cases run through Wine (the cross-compiling emulator); their list is read when ctest
# starts rather than after every build, since each Wine start costs a second or more. With
# TOV_RUN_WINDOWS_TESTS off (a host that cannot run the build's programs) the program is built and
# listed as not run, and no case is registered. With TOV_TEST_PROGRAMS set (a list of program names,
# the arm64 build under qemu-user), only the programs it names are built by default and run.
function(tov_add_gtest name)
  cmake_parse_arguments(ARG "RUN_SERIAL" "WORKING_DIRECTORY;TIMEOUT"
                        "SOURCES;LIBS;ENV;LABELS;RESOURCE_LOCK;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
  # A build that runs its tests under emulation names the programs it runs (TOV_TEST_PROGRAMS);
  # the others stay out of its default build and register no case.
  if(TOV_TEST_PROGRAMS AND NOT name IN_LIST TOV_TEST_PROGRAMS)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    return()
  endif()
  if(TOV_WINDOWS AND NOT TOV_RUN_WINDOWS_TESTS)
    set_property(GLOBAL APPEND PROPERTY TOV_NOT_RUN_TEST_PROGRAMS ${name})
    return()
  endif()
  set(wd ${CMAKE_CURRENT_BINARY_DIR})
  if(ARG_WORKING_DIRECTORY)
    set(wd ${ARG_WORKING_DIRECTORY})
  endif()
  set(timeout 600)
  if(ARG_TIMEOUT)
    set(timeout ${ARG_TIMEOUT})
  endif()
  set(properties TIMEOUT ${timeout} ${ARG_PROPERTIES})
  # The discovered cases carry each property as one value (a list would be split on the way).
  # ZIP_LISTS takes the names of list variables.
  set(keywords ENV LABELS RESOURCE_LOCK)
  set(test_properties ENVIRONMENT LABELS RESOURCE_LOCK)
  foreach(keyword property IN ZIP_LISTS keywords test_properties)
    list(LENGTH ARG_${keyword} n)
    if(n GREATER 1)
      message(FATAL_ERROR "tov_add_gtest(${name}): give ${keyword} one value")
    elseif(n EQUAL 1)
      list(APPEND properties ${property} "${ARG_${keyword}}")
    endif()
  endforeach()
  if(ARG_RUN_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  set(mode POST_BUILD)
  if(TOV_WINDOWS)
    set(mode PRE_TEST)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-test)
  endif()
  # TOV_TEST_FILTER (a --gtest_filter expression) leaves out the cases that cannot run where the
  # build's tests run: under qemu-user, a death test that starts its own program again.
  set(filter "*")
  if(TOV_TEST_FILTER)
    set(filter "${TOV_TEST_FILTER}")
  endif()
  gtest_discover_tests(${name}
                       TEST_PREFIX "${name}."
                       TEST_FILTER "${filter}"
                       WORKING_DIRECTORY ${wd}
                       DISCOVERY_MODE ${mode}
                       DISCOVERY_TIMEOUT 120
                       PROPERTIES ${properties})
endfunction()

# tov_add_fuzzer(<name> <sources...> LIBS ...)
# A libFuzzer target (native-fuzz preset: clang with ASan and UBSan). scripts/test-steps/fuzz.sh
# runs it on the seed corpus tests/fuzz/<name>/.
function(tov_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()
