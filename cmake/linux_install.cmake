# Installing the Linux edition and packaging it for Debian: the binary, a
# desktop entry, an autostart example, the icons in the hicolor theme, the
# manual page, and the README with its pictures and the licence.
# `cmake --install` puts them in place; `cpack` in the build tree makes a .deb.
include(GNUInstallDirs)

install(TARGETS sonabar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES app/resources/sonabar.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES app/resources/sonabar.svg app/resources/sonabar-no-sound.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES app/resources/sonabar-autostart.desktop
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/autostart RENAME sonabar.desktop)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README's pictures and the pages it links to, beside it as in the source tree.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png" PATTERN "*.svg")
# The licence, under the name Debian gives it.
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

# The manual page with the version of project() filled in, compressed as Debian
# installs manual pages. Made when configuring, so that installing after a
# build of the program alone finds it; editing docs/sonabar.1 configures again.
set(man_page ${PROJECT_BINARY_DIR}/man/sonabar.1)
configure_file(docs/sonabar.1 ${man_page} @ONLY)
find_program(SONABAR_GZIP gzip)
if(SONABAR_GZIP)
  execute_process(COMMAND ${SONABAR_GZIP} -9nkf ${man_page} RESULT_VARIABLE gzip_result)
  if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${man_page}")
  endif()
  set(man_page ${man_page}.gz)
endif()
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonabar)
set(CPACK_PACKAGE_VENDOR "The Sonabar developers")
set(CPACK_PACKAGE_CONTACT "The Sonabar developers <sonabar@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Live audio level meter on LEDs wired to the parallel port")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libglib2.0-0, libgtk-3-0, libasound2, libayatana-appindicator3-1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-alsa | pulseaudio")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Sonabar records the sound input and shows its level, every 10 ms, on a row of 8 or\n16 LEDs wired to the PC parallel port, as a falling bar with an optional peak dot.\nIt lives as a tray icon and drives the port through the kernel's ppdev driver.")
include(CPack)
