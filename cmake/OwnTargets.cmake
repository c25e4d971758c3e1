include_guard(GLOBAL)

# faderwell_own_targets(<var>): every target built from this project's own
# directories (executables and libraries, not custom or imported ones), so
# that a rule applied over them cannot leave a new target out. Call once
# every target exists.
function(faderwell_own_targets var)
  set(found)
  set(dirs ${PROJECT_SOURCE_DIR})
  while(dirs)
    list(POP_FRONT dirs dir)
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${dir}" NORMALIZE ours)
    if(NOT ours)
      continue()
    endif()
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
        list(APPEND found ${target})
      endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
  endwhile()
  set(${var} ${found} PARENT_SCOPE)
endfunction()
