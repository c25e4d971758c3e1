# The Debian package: `cpack -G DEB` in the release build makes
# faderwell_<version>_amd64.deb with the program, its desktop entry and icons
# (installed by app/), the AppStream metainfo, the man page and the Debian
# copyright and changelog, and lintian's override of a note that does not
# apply (packaging/lintian-overrides says why). The version, date, name and
# maker are the ones set next to project(), the same the about dialog shows.

include(GNUInstallDirs)

set(FADERWELL_APPSTREAM_ID com.example.veldrin.faderwell)
# Software centres fetch the screenshot from the web, and want it fetched
# securely; this is where the picture in docs/ is published, on the maker's
# site over https.
string(REGEX REPLACE "^http:" "https:" maker_site_secure "${FADERWELL_HOMEPAGE}")
set(FADERWELL_SCREENSHOT_URL ${maker_site_secure}faderwell/main-window.png)
# SPDX for "all rights reserved": no free licence has been granted.
set(FADERWELL_LICENSE LicenseRef-proprietary)
set(CPACK_PACKAGE_CONTACT "${FADERWELL_MAKER} <${FADERWELL_MAIL}>")

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)

# The changelog wants the release date in RFC 5322 form.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C date -u -R -d "${FADERWELL_RELEASE_DATE} 12:00"
  OUTPUT_VARIABLE FADERWELL_CHANGELOG_DATE
  OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)

configure_file(${packaging_dir}/faderwell.metainfo.xml.in
               ${packaging_out}/${FADERWELL_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${packaging_dir}/faderwell.1.in ${packaging_out}/faderwell.1 @ONLY)
configure_file(${packaging_dir}/changelog.in ${packaging_out}/changelog @ONLY)
configure_file(${packaging_dir}/copyright.in ${packaging_out}/copyright @ONLY)

# Debian wants the man page and the changelog compressed at the highest level
# and without a time stamp, so that the package comes out the same every time.
set(compressed)
foreach(name faderwell.1 changelog)
  add_custom_command(
    OUTPUT ${packaging_out}/${name}.gz
    COMMAND gzip -9 -n -c ${packaging_out}/${name} > ${packaging_out}/${name}.gz
    DEPENDS ${packaging_out}/${name}
    COMMENT "Compressing ${name}")
  list(APPEND compressed ${packaging_out}/${name}.gz)
endforeach()
add_custom_target(faderwell_package_files ALL DEPENDS ${compressed})

install(FILES ${packaging_out}/${FADERWELL_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging_out}/faderwell.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_out}/copyright ${packaging_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/faderwell)
install(FILES ${packaging_dir}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME faderwell)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME faderwell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${FADERWELL_MAKER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${FADERWELL_SUMMARY}")
# The summary above is the synopsis line; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${FADERWELL_NAME} mixes the sixteen channels of a MIDI instrument. Each
channel has a vertical fader that sends a Control Change on its channel; a
master fader drives every linked channel, and a fade moves the master at one
of five speeds, optionally with a hi-hat tick on channel 10. It plays through
the ALSA sequencer or JACK.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${FADERWELL_HOMEPAGE})
# The dependencies come from the libraries the binary links, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no library link shows: the font the windows are laid out for, and
# Qt's Wayland platform plugin for Wayland sessions without XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
