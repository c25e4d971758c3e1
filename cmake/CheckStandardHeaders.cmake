# Fails when a source in DIR includes anything but the C++ standard library
# or a header of its own folder (or one generated into GENERATED_DIR): the
# mixer core must build anywhere.
file(GLOB sources "${DIR}/*.h" "${DIR}/*.cpp")
set(allowed
  algorithm array cstddef cstdint functional stdexcept string string_view utility vector)
foreach(source IN LISTS sources)
  file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "<([^>]+)>")
      list(FIND allowed "${CMAKE_MATCH_1}" found)
      if(found EQUAL -1)
        message(FATAL_ERROR "${source}: <${CMAKE_MATCH_1}> is not an allowed standard header")
      endif()
    elseif(line MATCHES "\"([^\"]+)\"")
      if(NOT EXISTS "${DIR}/${CMAKE_MATCH_1}" AND NOT EXISTS "${GENERATED_DIR}/${CMAKE_MATCH_1}")
        message(FATAL_ERROR "${source}: \"${CMAKE_MATCH_1}\" is not a header of the core")
      endif()
    endif()
  endforeach()
endforeach()
