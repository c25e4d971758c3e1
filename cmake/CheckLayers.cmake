# Fails when a source of the program includes what its layer may not: the
# core builds anywhere, the port and the store know no backend, a backend
# knows no other backend's folder, the windows know no backend, and each
# system library is used only by the code written for it.
#
#   cmake -DROOT=<repository> -P CheckLayers.cmake
#
# Both tables are rows of "<what> | <where>" data. A place is a folder
# ("midi/jack": the files directly in it) or a pattern of file paths with
# `*` ("midi/*/Platform*.h"). Quoted includes are read from the repository
# root, or from the including file's folder when they name no folder.

# The layers: which project headers the files of a place may include.
set(layers
  "core             | core"
  "midi             | core midi"
  "midi/alsa        | core midi midi/alsa"
  "midi/linux       | core midi midi/linux midi/alsa midi/jack midi/pipewire"
  "midi/jack        | core midi midi/jack midi/timing"
  "midi/pipewire    | core midi midi/pipewire midi/timing"
  "midi/timing      | midi/timing"
  "midi/winmm       | core midi midi/winmm"
  "midi/memory      | core midi midi/memory"
  "settings         | core settings"
  "settings/regfile | core settings settings/regfile"
  "settings/winreg  | core settings settings/winreg"
  "settings/memory  | core settings settings/memory"
  "ui               | core midi settings ui"
  # The program, with its platform branches in folders of their own.
  "app app/*/*      | core midi settings ui app midi/*/Platform*.h settings/*/Platform*.h"
  "bench            | core midi settings ui app bench settings/memory"
  # The bench tools pick the Linux service's route (native or JACK) themselves.
  "bench/MidiRoute* | core midi bench midi/linux/*.h"
  "bench/check      | core bench"
  # The platform choice is where the port and the store meet their backends.
  "midi/Platform*     | midi/*/*.h"
  "midi/*/Platform*   | midi/*/*.h"
  "settings/Platform* | settings/*/*.h"
  "settings/*/Platform* | settings/*/*.h"
)

# The system and library headers, each used only where it is needed; the
# C++ standard library (below) may be used everywhere.
set(system_headers
  "Q* q*.h                | ui app app/*/* bench"
  "jack/*                 | midi/jack bench"
  "alsa/*                 | midi/alsa"
  # PipeWire's own API, and the folder watch that sees its daemon come back.
  "pipewire/* spa/* sys/inotify.h sys/stat.h unistd.h | midi/pipewire"
  "rtmidi/* RtMidi.h      | midi/alsa"
  "windows.h mmsystem.h   | midi/winmm settings/winreg app/windows"
  "benchmark/*            | bench"
  "gtest/*                | bench/check"
  # POSIX: the settings file's atomic replace, the windows' timer, the
  # program's signals, the JACK output's name lock, the measurements'
  # processes and clocks.
  "unistd.h fcntl.h pwd.h poll.h pthread.h sched.h signal.h time.h sys/* | settings/regfile ui app app/posix midi/jack bench bench/check"
)

set(standard_library
  algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv chrono
  cinttypes climits clocale cmath codecvt compare complex concepts condition_variable coroutine
  csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque
  exception execution filesystem format forward_list fstream functional future initializer_list
  iomanip ios iosfwd iostream istream iterator latch limits list locale map memory memory_resource
  mutex new numbers numeric optional ostream queue random ranges ratio regex scoped_allocator
  semaphore set shared_mutex source_location span sstream stack stdexcept stop_token streambuf
  string string_view syncstream system_error thread tuple type_traits typeindex typeinfo
  unordered_map unordered_set utility valarray variant vector version)

cmake_policy(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<repository> -P CheckLayers.cmake")
endif()

# A place as a regular expression over repository paths.
function(place_regex place out)
  string(REPLACE "." "\\." regex "${place}")
  string(REPLACE "+" "\\+" regex "${regex}")
  if(regex MATCHES "\\*")
    string(REPLACE "*" "[^/]*" regex "${regex}")
  else()
    set(regex "${regex}/[^/]*")
  endif()
  set(${out} "^${regex}$" PARENT_SCOPE)
endfunction()

# A header pattern ("jack/*", "Q*") as a regular expression.
function(header_regex pattern out)
  string(REPLACE "." "\\." regex "${pattern}")
  string(REPLACE "*" ".*" regex "${regex}")
  set(${out} "^${regex}$" PARENT_SCOPE)
endfunction()

# Splits "<what> | <where>" into two lists.
macro(split_row row what where)
  string(REGEX MATCH "^([^|]*)\\|(.*)$" ignored "${row}")
  string(STRIP "${CMAKE_MATCH_1}" ${what})
  string(STRIP "${CMAKE_MATCH_2}" ${where})
  separate_arguments(${what} UNIX_COMMAND "${${what}}")
  separate_arguments(${where} UNIX_COMMAND "${${where}}")
endmacro()

# True in `out` when the repository path `path` lies in one of `places`.
function(in_places path places out)
  foreach(place IN LISTS places)
    place_regex("${place}" regex)
    if(path MATCHES "${regex}")
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} FALSE PARENT_SCOPE)
endfunction()

# The files the program is built from; the tests may reach anywhere.
set(folders core midi settings ui app bench)
set(sources)
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE found RELATIVE "${ROOT}" "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp"
       "${ROOT}/${folder}/*.h.in")
  list(APPEND sources ${found})
endforeach()
list(SORT sources)

set(faults)
foreach(source IN LISTS sources)
  # What this file may include: the union of the rows whose place holds it.
  set(may)
  foreach(row IN LISTS layers)
    split_row("${row}" places allowed)
    in_places("${source}" "${places}" holds)
    if(holds)
      list(APPEND may ${allowed})
    endif()
  endforeach()
  if(NOT may)
    list(APPEND faults "${source}: no layer holds this folder")
    continue()
  endif()
  get_filename_component(folder "${source}" DIRECTORY)

  file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "<([^>]+)>")
      set(header "${CMAKE_MATCH_1}")
      if(header IN_LIST standard_library)
        continue()
      endif()
      set(known FALSE)
      set(allowed FALSE)
      foreach(row IN LISTS system_headers)
        split_row("${row}" patterns places)
        foreach(pattern IN LISTS patterns)
          header_regex("${pattern}" regex)
          if(header MATCHES "${regex}")
            set(known TRUE)
            in_places("${source}" "${places}" holds)
            if(holds)
              set(allowed TRUE)
            endif()
          endif()
        endforeach()
      endforeach()
      if(NOT known)
        list(APPEND faults "${source}: <${header}> is in no row of the system headers")
      elseif(NOT allowed)
        list(APPEND faults "${source}: <${header}> is not for this folder")
      endif()
    elseif(line MATCHES "\"([^\"]+)\"")
      set(header "${CMAKE_MATCH_1}")
      if(NOT header MATCHES "/" OR header MATCHES "^\\.")
        set(header "${folder}/${header}")
        cmake_path(NORMAL_PATH header)
      endif()
      in_places("${header}" "${may}" allowed)
      if(NOT allowed)
        list(APPEND faults "${source}: \"${header}\" lies outside its layer")
      endif()
    endif()
  endforeach()
endforeach()

if(faults)
  foreach(fault IN LISTS faults)
    message("${fault}")
  endforeach()
  list(LENGTH faults count)
  message(FATAL_ERROR "${count} faults against the layers")
endif()
list(LENGTH sources count)
message(STATUS "${count} files keep to their layers")
