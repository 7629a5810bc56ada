# tov_split_debug_info(<target>): a shipped Linux file leaves the build stripped, and its debug
# information stays beside it as <file>.debug (build/<preset>/...), for crash reports: gdb finds it
# through the file's .gnu_debuglink. Stripped here rather than by a package builder, the .deb, the
# RPM and the archive ship the same bytes. Only in the shipping Linux builds (TOV_LINUX_CLIENT); call
# it in the folder that defines the target.
function(tov_split_debug_info target)
  if(NOT TOV_LINUX_CLIENT)
    return()
  endif()
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "no objcopy found: the shipped files cannot be stripped")
  endif()
  set(file $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-unneeded --add-gnu-debuglink=${file}.debug ${file}
    COMMENT "Stripping ${target}; its debug information beside it (.debug)"
    VERBATIM)
endfunction()
