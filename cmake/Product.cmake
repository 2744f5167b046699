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

# tolven_product_code(target...)
# Windows: code that goes into Setup.exe is built without exception support
# and without unwind tables. Nothing in it throws or catches, and nothing
# that calls it catches what a callback might throw, so the tables would
# only take room: an exception passing through it ends the program either
# way. Each function and datum has a section of its own, so that the
# program's link keeps only those it reaches. Data is aligned as its type
# asks, not to 32 bytes for every array of that size or more, which only
# pads the program's tables apart. No function keeps a frame pointer, which
# nothing walks: it costs every function its set-up and a register.
# Where the tree is built small, the code is built for the fewest bytes
# (-Oz), which takes 512 bytes off each program; the symbol loop, built for
# speed on its own, runs as fast as before.
# No link-time optimisation: this toolchain's linker (binutils 2.40) dies
# with a segmentation fault on Setup.exe's link once its code is in the
# compiler's intermediate form; with the core alone in it, the inline
# functions it shares with the setup library clash first. Linked without
# the linker's plugin, the whole program optimised at once comes out
# larger, not smaller.
function(tolven_product_code)
  if(WIN32)
    foreach(target ${ARGN})
      target_compile_options(${target} PRIVATE
        -fno-exceptions -fno-asynchronous-unwind-tables -fno-unwind-tables
        -ffunction-sections -fdata-sections -malign-data=abi -fomit-frame-pointer
        $<$<CONFIG:MinSizeRel>:-Oz>)
    endforeach()
  endif()
endfunction()
