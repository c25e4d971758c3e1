# The warnings every target of ours is built with, in every build: one
# INTERFACE target that faderwell_link_warnings() below links into each of
# them. Code we do not write (GoogleTest built from source, Qt's headers) is
# not held to them.
include(${CMAKE_CURRENT_LIST_DIR}/OwnTargets.cmake)

option(FADERWELL_WERROR "Treat our warnings as errors" OFF)

add_library(faderwell_warnings INTERFACE)
target_compile_options(faderwell_warnings INTERFACE
  -Wall -Wextra -Wpedantic
  # Implicit narrowing and sign changes hide truncated MIDI bytes and
  # wrapped indices; where a narrowing is meant, the code says so.
  -Wconversion -Wsign-conversion
  -Wshadow -Wold-style-cast -Wcast-qual
  -Wnon-virtual-dtor -Woverloaded-virtual
  -Wformat=2 -Wimplicit-fallthrough -Wextra-semi
  $<$<BOOL:${FADERWELL_WERROR}>:-Werror>)

# Links faderwell_warnings into every target built from this project's own
# directories, so that a new target cannot be left out. Call once, at the
# end of the top-level CMakeLists.txt.
function(faderwell_link_warnings)
  faderwell_own_targets(targets)
  foreach(target IN LISTS targets)
    target_link_libraries(${target} PRIVATE faderwell_warnings)
  endforeach()
endfunction()
