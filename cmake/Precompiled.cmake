# The big headers most of a target's sources include, compiled once instead
# of once per source: GoogleTest for the tests, Qt's widgets for the windows
# and their tests. Parsing these is most of the time a test source takes to
# compile.
#
# faderwell_precompile_headers() picks them for every target of this
# project's own directories by what the target links, so a new test gets them
# without asking. Call once, at the end of the top-level CMakeLists.txt. The
# tests share two per tree: GoogleTest's, and GoogleTest's with Qt's widgets
# for the widget tests. Any other target of few sources is left as it is.
include(${CMAKE_CURRENT_LIST_DIR}/OwnTargets.cmake)

function(faderwell_precompile_headers)
  # Below this many sources a header compiled for the target alone costs
  # more than it saves (measured on the bench's two-source windows).
  set(kFewestSources 4)
  set(tests_dir ${PROJECT_SOURCE_DIR}/tests)
  faderwell_own_targets(targets)
  foreach(target IN LISTS targets)
    get_target_property(dir ${target} SOURCE_DIR)
    get_target_property(links ${target} LINK_LIBRARIES)
    # A test takes the tree's one compiled GoogleTest header, with Qt's
    # widgets for a widget test (tests/CMakeLists.txt), however few its
    # sources: compiling a header of that size costs as much as the
    # sources of a suite save.
    cmake_path(IS_PREFIX tests_dir "${dir}" NORMALIZE in_tests)
    if(in_tests AND NOT target MATCHES "^faderwell_(gtest|widget_test)_header$")
      # A suite's sources compiled as one: the templates they share (the
      # standard library's, GoogleTest's, Qt's) are instantiated and
      # compiled once instead of once per file, a third of a suite's time.
      set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
      if(links MATCHES "Qt6::Test")
        target_precompile_headers(${target} REUSE_FROM faderwell_widget_test_header)
        continue()
      elseif(links MATCHES "GTest::" AND NOT links MATCHES "Qt6::")
        target_precompile_headers(${target} REUSE_FROM faderwell_gtest_header)
        continue()
      endif()
    endif()
    get_target_property(sources ${target} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    list(LENGTH sources count)
    if(count LESS ${kFewestSources})
      continue()
    endif()
    set(headers)
    if(links MATCHES "GTest::")
      list(APPEND headers <gtest/gtest.h>)
    endif()
    # The headers nearly every source of the kind includes, not Qt's
    # module headers: those make a precompiled header of some 400 MB that
    # each source then loads, for little more gain.
    if(links MATCHES "Qt6::Widgets")
      list(APPEND headers <QApplication> <QWidget> <QPainter> <QLabel> <QPushButton>)
    endif()
    if(headers)
      target_precompile_headers(${target} PRIVATE ${headers})
    endif()
  endforeach()
endfunction()
