# cmake -DMAP=linker-map -DPROGRAM=name -P check_no_initializers.cmake
# For a program that starts at its own entry point instead of the C
# runtime's start-up code: fails when its linker map places anything in the
# lists that only that start-up code walks, the static constructors (.ctors,
# .init_array) and the runtime's C and C++ initializers (.CRT$XC*, .CRT$XI*).
# A global with a dynamic initializer lands there and would silently never be
# set up. The lists' own terminators are not input sections and do not count.
if(NOT EXISTS "${MAP}")
  message(FATAL_ERROR "${PROGRAM}: no linker map at ${MAP}")
endif()
# Input sections of those lists, and the lines that follow a name too long
# to share its line with the address, size and object.
set(list_section "^ (\\.ctors|\\.ctor|\\.init_array|\\.CRT\\$X[CI])[^ ]*")
file(STRINGS "${MAP}" lines REGEX "${list_section}|^  +0x|^Linker script and memory map")
set(in_layout FALSE)  # the part before it lists discarded sections
set(name "")
set(found "")
foreach(line IN LISTS lines)
  if(line MATCHES "^Linker script and memory map")
    set(in_layout TRUE)
  elseif(in_layout)
    if(name STREQUAL "" AND line MATCHES "${list_section}$")
      set(name "${line}")
      continue()
    endif()
    set(line "${name}${line}")
    set(name "")
    if(line MATCHES "${list_section} +0x[0-9a-f]+ +0x([0-9a-f]+) +(.+)$")
      set(size "${CMAKE_MATCH_2}")
      string(STRIP "${line}" entry)
      string(REGEX REPLACE " +0x[0-9a-f]+ +0x[0-9a-f]+ +" " from " entry "${entry}")
      if(NOT size MATCHES "^0+$")
        list(APPEND found "  ${entry}")
      endif()
    endif()
  endif()
endforeach()
if(found)
  list(JOIN found "\n" found)
  message(FATAL_ERROR
    "${PROGRAM} has initializers that its own entry point never runs:\n${found}\n"
    "Give such globals a constant initializer, or set them up in the program's code.")
endif()
message(STATUS "${PROGRAM}: no static constructors or runtime initializers")
