# Installing the Linux edition and packaging it for Debian: the binary, a
# desktop entry, an autostart example and the icon in the hicolor theme.
# `cmake --install` puts them in place; `cpack` in the build tree makes a .deb.
include(GNUInstallDirs)

install(TARGETS sonabar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES app/resources/sonabar.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES app/resources/sonabar.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES app/resources/sonabar-autostart.desktop
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/autostart RENAME sonabar.desktop)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

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
