# The driver modules.
#   TovaroCitrixVC      the shipping driver: SetupAPI and hid.dll reach the real devices (Windows only)
#   TovaroCitrixVCSim   the simulation build: the same driver linked with the simulated HID bus, which
#                       it exports through a small C interface for tests and the demo
#   VDTOVUSB            the shipping driver for the ICA Client for Linux (linux and linux-arm64
#                       presets, TOV_LINUX_CLIENT): the native layer on hidraw, an ELF shared object
#                       named VDTOVUSB.DLL as the Linux client names its virtual drivers. It lands in
#                       build/<preset>/driver/VDTOVUSB.DLL (build/linux/driver/VDTOVUSB.DLL).
# tov_add_driver_module(<name> <backend> [extra sources...])
# <backend> is the HID backend library, or "" for none. Callable from any folder.
function(tov_add_driver_module name backend)
  set(TOV_DRIVER_CORE tov_channel tov_protocol tov_devices tov_hid)
  # The channel library (the export "Load") and the backend go into the module whole, through their
  # objects; the other libraries are linked as archives, so the module holds what the channel client
  # of TovaroCitrixVC.cpp reaches. Linking the whole libraries as well brings their include folders
  # and dependencies (their archive members are then never needed again).
  set(objects "")
  foreach(lib IN ITEMS tov_channel ${backend})
    get_target_property(type ${lib} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      list(APPEND objects $<TARGET_OBJECTS:${lib}>)
    endif()
  endforeach()
  add_library(${name} SHARED ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/TovaroCitrixVC.cpp ${objects} ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_link_libraries(${name} PRIVATE ${TOV_DRIVER_CORE} ${backend} tov_foundation)
  if(NOT TOV_WINDOWS)
    # The module's own calls stay inside the module, whatever the host program defines.
    target_link_options(${name} PRIVATE -Wl,-Bsymbolic)
  endif()
endfunction()

if(TOV_WINDOWS)
  # The shipping driver links the SetupAPI backend as soon as that library exists.
  set(tov_shipping_backend "")
  if(TARGET tov_hid_setupapi)
    set(tov_shipping_backend tov_hid_setupapi)
  endif()
  tov_add_driver_module(TovaroCitrixVC "${tov_shipping_backend}" ${CMAKE_CURRENT_SOURCE_DIR}/TovaroCitrixVC.def)
  tov_sign_target(TovaroCitrixVC)
endif()
# The simulation module is defined beside the simulated bus (tools/simbus), which adds it with
# tov_add_driver_module(TovaroCitrixVCSim tov_simbus ...).

if(TOV_LINUX_CLIENT)
  # Exports Load only (version script); the C++ runtime and libgcc are linked in, so the module
  # needs nothing but the C library (tests/linux_module checks the list); every symbol is resolved
  # at link time (-z defs), none is taken from the ICA Client's own libraries.
  tov_add_driver_module(VDTOVUSB tov_hid_hidraw ${CMAKE_CURRENT_SOURCE_DIR}/linux/IcaClientConventions.cpp)
  set_target_properties(VDTOVUSB PROPERTIES OUTPUT_NAME VDTOVUSB SUFFIX ".DLL"
                        LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/linux/VDTOVUSB.map)
  target_link_libraries(VDTOVUSB PRIVATE tov_ica_client_linux)
  target_link_options(VDTOVUSB PRIVATE -static-libstdc++ -static-libgcc -Wl,--exclude-libs,ALL
                      -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/linux/VDTOVUSB.map -Wl,-z,defs
                      -Wl,--as-needed)
  tov_split_debug_info(VDTOVUSB)
endif()
