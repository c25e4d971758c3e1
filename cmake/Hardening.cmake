# The Linux release build is hardened the way Debian builds its packages: the
# flags `DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags` gives on
# Debian 12 for amd64. Fortified string and memory functions, a strong stack
# protector, refusal of non-literal format strings, and an executable loaded at
# a random address whose relocations are resolved at start and then made
# read-only (PIE, RELRO, BIND_NOW). packaging/check reads them back off the
# packaged binary. The other builds stay without them: the sanitizers of the
# debug and fuzz builds do that job there (and fortification gets in their way).
option(FADERWELL_HARDENING "Harden the Linux release build like Debian's packages" ON)

if(FADERWELL_HARDENING AND CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_BUILD_TYPE STREQUAL "Release")
  add_compile_definitions(_FORTIFY_SOURCE=2)
  add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
  # The compiler's own default on Debian; said here for the compilers whose
  # default it is not.
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()
