# With no MIDI service at all (no ALSA sequencer, no JACK server), the output
# list is "(None)" and "MIDI MAPPER", the mapper cannot be opened, and
# nothing at all reaches the terminal. Also checks that no JACK server was
# started on the way.
#   cmake -DPROBE=<probe> -DREPORT=<file> -P quiet-probe.cmake
if(EXISTS /dev/snd/seq)
  message("SKIP: this machine has an ALSA sequencer")
  return()
endif()
execute_process(COMMAND jack_wait -c RESULT_VARIABLE before OUTPUT_VARIABLE state ERROR_QUIET)
if(NOT state MATCHES "not running")
  message(FATAL_ERROR "a JACK server already runs as '$ENV{JACK_DEFAULT_SERVER}'")
endif()

file(REMOVE "${REPORT}")
execute_process(COMMAND "${PROBE}" "${REPORT}"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "probe ended with ${result}")
endif()
if(NOT out STREQUAL "" OR NOT err STREQUAL "")
  message(FATAL_ERROR "the probe printed:\n[stdout]\n${out}\n[stderr]\n${err}")
endif()
file(READ "${REPORT}" report)
set(expected "^\\(None\\)\nMIDI MAPPER\nmapper [1-9][0-9]*\n$")
if(NOT report MATCHES "${expected}")
  message(FATAL_ERROR "expected only (None), MIDI MAPPER and a failed mapper, got:\n${report}")
endif()

execute_process(COMMAND jack_wait -c OUTPUT_VARIABLE state ERROR_QUIET)
if(NOT state MATCHES "not running")
  message(FATAL_ERROR "the probe started a JACK server")
endif()
