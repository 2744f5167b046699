# cmake -DFILE=path -DLIMIT=bytes -P check_size.cmake
# Prints the size of a built file and fails when it exceeds the limit.
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
message(STATUS "${name}: ${size} bytes (limit ${LIMIT})")
if(size GREATER LIMIT)
  message(FATAL_ERROR "${name} is ${size} bytes, more than ${LIMIT}")
endif()
