# Helpers for the executables we ship.

# tolven_product_executable(target [GUI])
# Windows: small (-Os via the MinSizeRel tree), stripped, GUI subsystem when
# asked, and a test that the executable imports nothing but system DLLs.
function(tolven_product_executable target)
  cmake_parse_arguments(ARG "GUI" "" "" ${ARGN})
  if(WIN32)
    target_link_options(${target} PRIVATE -s)
    if(ARG_GUI)
      target_link_options(${target} PRIVATE -mwindows)
    endif()
    add_test(NAME imports_${target}
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-imports $<TARGET_FILE:${target}>)
  endif()
endfunction()
