# GoogleTest for a cross build, compiled from the sources Debian ships in the
# googletest package: the host's libgtest is built for Linux and cannot be
# linked into Windows executables. Provides the same GTest:: targets as
# find_package(GTest).
set(FADERWELL_GTEST_SOURCE_DIR /usr/src/googletest
    CACHE PATH "GoogleTest sources to build the tests' framework from")
if(NOT EXISTS ${FADERWELL_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources at ${FADERWELL_GTEST_SOURCE_DIR} "
                      "(Debian package googletest)")
endif()

# The framework is not ours to hold to our warnings: faderwell_warnings
# leaves this directory out.
block()
  set(BUILD_GMOCK OFF)
  set(INSTALL_GTEST OFF)
  add_subdirectory(${FADERWELL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endblock()

foreach(lib gtest gtest_main)
  # Built once per tree, and unoptimised: at the release build's -O3 the
  # framework took three times as long to compile as it ever runs.
  target_compile_options(${lib} PRIVATE -O0)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
include(GoogleTest)
