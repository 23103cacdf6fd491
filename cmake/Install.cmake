# Installation as a Linux desktop program, and the Debian package built from it
# (scripts/package). Included last, so every program target is known.
include(GNUInstallDirs)

set(DUNVEX_LINUX ${CMAKE_SOURCE_DIR}/resources/linux)

foreach(program dunvex dunvex-server dunvex-pack dunvex-fetch)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

install(FILES ${DUNVEX_LINUX}/dunvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The AppStream data and the manual pages carry the version from project().
configure_file(${DUNVEX_LINUX}/dunvex.metainfo.xml.in ${CMAKE_BINARY_DIR}/dunvex.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/dunvex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(page dunvex.6 dunvex-server.6 dunvex-pack.1 dunvex-fetch.1)
    configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
endforeach()
install(FILES ${DUNVEX_LINUX}/dunvex.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
    install(FILES ${DUNVEX_LINUX}/dunvex-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME dunvex.png)
endforeach()

install(FILES ${CMAKE_BINARY_DIR}/man/dunvex.6 ${CMAKE_BINARY_DIR}/man/dunvex-server.6
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
foreach(tool dunvex-pack dunvex-fetch)
    if(TARGET ${tool})
        install(FILES ${CMAKE_BINARY_DIR}/man/${tool}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
endforeach()

# The host as a service: installed, not enabled.
configure_file(${DUNVEX_LINUX}/dunvex-server.service ${CMAKE_BINARY_DIR}/dunvex-server.service
               @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/dunvex-server.service DESTINATION lib/systemd/system)
install(FILES ${DUNVEX_LINUX}/dunvex-server.default DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default
        RENAME dunvex-server)
# The template for several processes, each with its tables and its options
# in /etc/dunvex-server/NAME.conf: installed, not enabled.
configure_file(${DUNVEX_LINUX}/dunvex-server@.service ${CMAKE_BINARY_DIR}/dunvex-server@.service
               @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/dunvex-server@.service DESTINATION lib/systemd/system)
install(FILES ${DUNVEX_LINUX}/dunvex-server-example.conf
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/dunvex-server RENAME example.conf)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dunvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Dunvex developers <dunvex@dunvex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "networked dice game for up to four players")
# One string: separate arguments would make a list, whose ";" separators apt
# shows at the start of the description's lines.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Players take turns rolling five dice to fill a twelve-category scorecard, alone\n"
    "against the computer or with friends over the network; includes dunvex-server,\n"
    "the game's host without a window, with a systemd service.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time rather than linked: the window's platform plugins and the
# picture formats.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${DUNVEX_LINUX}/conffiles)
include(CPack)
