# Decides which platform layer the build uses and sets the common compile options.
if(WIN32)
  set(TOV_WINDOWS ON)
  set(TOV_PLATFORM_SUFFIX win32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # The shipping binaries import nothing but Windows system DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TOV_ARCH i686)
  else()
    set(TOV_ARCH x86_64)
  endif()
else()
  set(TOV_WINDOWS OFF)
  set(TOV_PLATFORM_SUFFIX posix)
  set(TOV_ARCH native)
  # g++ gives static data of inline functions and templates the binding STB_GNU_UNIQUE, and the C
  # library never unmaps a module that defines such a symbol: the driver module would then stay
  # mapped after the ICA Client's dlclose. Plain weak symbols do the same job for one module.
  add_compile_options($<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
endif()

add_compile_options(-Wall -Wextra -Wno-unused-parameter)

set(TOV_SANITIZE "" CACHE STRING "Sanitizers for the native build: asan (address+undefined) or tsan")
if(TOV_SANITIZE STREQUAL "asan")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TOV_SANITIZE STREQUAL "tsan")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
