# A library's headers are reached only through the fence folders of the
# targets it links: each holds links to the headers a target names, under
# their repository paths ("midi/MidiOutPort.h"). An include of any other
# folder's header then fails to compile rather than quietly reaching across
# a layer; no target puts the repository root on the include path.
#
#   faderwell_headers(<target> PUBLIC|PRIVATE <header>...)
#
# PUBLIC headers are seen by the target and by whatever links it, PRIVATE
# ones by the target's own sources only. A header is named relative to the
# current source folder, or by an absolute path into the build tree for a
# generated one ("${CMAKE_CURRENT_BINARY_DIR}/AppInfo.h" is "core/AppInfo.h").
function(faderwell_headers target scope)
  string(TOLOWER "${scope}" kind)
  set(fence "${CMAKE_BINARY_DIR}/fence/${target}-${kind}")
  # Made anew at each configure, so a header taken off the list is gone.
  file(REMOVE_RECURSE "${fence}")
  foreach(header IN LISTS ARGN)
    if(IS_ABSOLUTE "${header}")
      set(source "${header}")
      file(RELATIVE_PATH path "${CMAKE_BINARY_DIR}" "${header}")
    else()
      set(source "${CMAKE_CURRENT_SOURCE_DIR}/${header}")
      file(RELATIVE_PATH path "${PROJECT_SOURCE_DIR}" "${source}")
    endif()
    if(NOT EXISTS "${source}")
      message(FATAL_ERROR "faderwell_headers(${target}): no header ${source}")
    endif()
    get_filename_component(folder "${fence}/${path}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    # A copy where links cannot be made (Windows without the privilege);
    # the configure dependency keeps a copy up to date.
    file(CREATE_LINK "${source}" "${fence}/${path}" COPY_ON_ERROR SYMBOLIC)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
  endforeach()
  target_include_directories(${target} ${scope} "$<BUILD_INTERFACE:${fence}>")
endfunction()
