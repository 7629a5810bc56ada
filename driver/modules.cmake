# The driver modules.
#   TovaroCitrixVC      the shipping driver: SetupAPI and hid.dll reach the real devices (Windows only)
#   TovaroCitrixVCSim   the simulation build: the same driver linked with the simulated HID bus, which
#                       it exports through a small C interface for tests and the demo
# Both link their libraries whole, so that the module's entry and its static objects are kept.
set(TOV_DRIVER_CORE tov_channel tov_protocol tov_devices tov_hid)

function(tov_add_driver_module name backend)
  add_library(${name} SHARED ${CMAKE_CURRENT_SOURCE_DIR}/TovaroCitrixVC.cpp ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "")
  set(libs "")
  foreach(lib IN LISTS TOV_DRIVER_CORE backend)
    get_target_property(type ${lib} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      list(APPEND libs ${lib})
    endif()
  endforeach()
  target_link_libraries(${name} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${libs}>" tov_foundation
                        ${TOV_DRIVER_CORE} ${backend})
endfunction()

if(TOV_WINDOWS AND TARGET tov_hid_setupapi)
  tov_add_driver_module(TovaroCitrixVC tov_hid_setupapi ${CMAKE_CURRENT_SOURCE_DIR}/TovaroCitrixVC.def)
endif()
# The simulation module is defined beside the simulated bus (tools/simbus), which adds it with
# tov_add_driver_module(TovaroCitrixVCSim tov_simbus ...).
