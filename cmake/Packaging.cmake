# Debian packages, built by `cpack -G DEB` (tools/package.sh):
#   tarnwickd  the headless program, the mailer and the alert sounds in /usr/lib/tarnwick,
#              /usr/bin/tarnwickd pointing there, the manual page tarnwickd(8), the systemd unit,
#              an example /etc/tarnwick/tarnwickd.conf, and the Prometheus rules with example
#              Prometheus and Alertmanager configurations in /usr/share/tarnwick/prometheus; no Qt.
#   tarnwick   the desktop program beside them, its icons and cursor, the menu entry, the menu
#              icon in the hicolor theme, the AppStream metainfo and the manual page tarnwick(1);
#              depends on tarnwickd.
# Installed, the program's folder /usr/lib/tarnwick is not the user's to write, so the programs
# keep their settings in ~/.config/tarnwick (the service in /etc/tarnwick).

find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(TARNWICK_PACKAGE_DIR lib/tarnwick)
set(TARNWICK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# The menu's icon in every hicolor size, drawn at build time like the other assets.
set(TARNWICK_DESKTOP_ICON_DIR ${CMAKE_BINARY_DIR}/desktop-icons)
add_custom_command(
  OUTPUT ${TARNWICK_DESKTOP_ICON_DIR}/hicolor/scalable/apps/tarnwick.svg
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make_desktop_icons.py
          ${TARNWICK_DESKTOP_ICON_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_desktop_icons.py ${PROJECT_SOURCE_DIR}/tools/make_assets.py
  COMMENT "Drawing the menu icon"
  VERBATIM)
add_custom_target(tarnwick_desktop_icons ALL
                  DEPENDS ${TARNWICK_DESKTOP_ICON_DIR}/hicolor/scalable/apps/tarnwick.svg)

# Debian's changelog goes into the package gzipped, without a time stamp (lintian checks both).
set(TARNWICK_DEB_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(
  OUTPUT ${TARNWICK_DEB_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9n -c ${TARNWICK_PACKAGING_DIR}/debian/changelog > ${TARNWICK_DEB_CHANGELOG}
  DEPENDS ${TARNWICK_PACKAGING_DIR}/debian/changelog
  VERBATIM)
add_custom_target(tarnwick_deb_changelog ALL DEPENDS ${TARNWICK_DEB_CHANGELOG})

# Both manual pages from the one source in docs/man, gzipped for the package.
set(TARNWICK_MAN_DIR ${CMAKE_BINARY_DIR}/packaging/man)
add_custom_command(
  OUTPUT ${TARNWICK_MAN_DIR}/tarnwick.1.gz ${TARNWICK_MAN_DIR}/tarnwickd.8.gz
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make_man_pages.py
          ${PROJECT_SOURCE_DIR}/docs/man/tarnwick.man ${TARNWICK_MAN_DIR} ${PROJECT_VERSION}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_man_pages.py ${PROJECT_SOURCE_DIR}/docs/man/tarnwick.man
  COMMENT "Writing the manual pages"
  VERBATIM)
add_custom_target(tarnwick_man_pages ALL
                  DEPENDS ${TARNWICK_MAN_DIR}/tarnwick.1.gz ${TARNWICK_MAN_DIR}/tarnwickd.8.gz)
install(FILES ${TARNWICK_MAN_DIR}/tarnwick.1.gz DESTINATION share/man/man1 COMPONENT tarnwick
        EXCLUDE_FROM_ALL)
install(FILES ${TARNWICK_MAN_DIR}/tarnwickd.8.gz DESTINATION share/man/man8 COMPONENT tarnwickd
        EXCLUDE_FROM_ALL)

foreach(component tarnwick tarnwickd)
  install(FILES ${TARNWICK_PACKAGING_DIR}/debian/copyright ${TARNWICK_DEB_CHANGELOG}
          DESTINATION share/doc/${component} COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

install(FILES ${TARNWICK_PACKAGING_DIR}/tarnwick.desktop DESTINATION share/applications
        COMPONENT tarnwick EXCLUDE_FROM_ALL)
install(FILES ${TARNWICK_PACKAGING_DIR}/org.tarnwick.Tarnwick.metainfo.xml
        DESTINATION share/metainfo COMPONENT tarnwick EXCLUDE_FROM_ALL)
install(DIRECTORY ${TARNWICK_DESKTOP_ICON_DIR}/hicolor DESTINATION share/icons
        COMPONENT tarnwick EXCLUDE_FROM_ALL)
# /usr/bin/tarnwick points into the program's folder, where its assets are.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ../${TARNWICK_PACKAGE_DIR}/tarnwick ${CMAKE_BINARY_DIR}/packaging/tarnwick-link
     SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tarnwick-link DESTINATION bin RENAME tarnwick
        COMPONENT tarnwick EXCLUDE_FROM_ALL)
file(CREATE_LINK ../${TARNWICK_PACKAGE_DIR}/tarnwickd ${CMAKE_BINARY_DIR}/packaging/tarnwickd-link
     SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tarnwickd-link DESTINATION bin RENAME tarnwickd
        COMPONENT tarnwickd EXCLUDE_FROM_ALL)

install(FILES ${TARNWICK_PACKAGING_DIR}/tarnwickd.service DESTINATION lib/systemd/system
        COMPONENT tarnwickd EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/dist/prometheus/tarnwick-rules.yml
              ${PROJECT_SOURCE_DIR}/dist/prometheus/prometheus.yml
              ${PROJECT_SOURCE_DIR}/dist/prometheus/alertmanager.yml
        DESTINATION share/tarnwick/prometheus COMPONENT tarnwickd EXCLUDE_FROM_ALL)
install(FILES ${TARNWICK_PACKAGING_DIR}/tarnwickd.conf DESTINATION /etc/tarnwick
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        COMPONENT tarnwickd EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tarnwick developers <developers@tarnwick.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tarnwick tarnwickd)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_TARNWICK_PACKAGE_NAME tarnwick)
set(CPACK_DEBIAN_TARNWICKD_PACKAGE_NAME tarnwickd)
set(CPACK_DEBIAN_TARNWICK_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_TARNWICKD_PACKAGE_SECTION admin)
set(CPACK_COMPONENT_TARNWICK_DEPENDS tarnwickd)
# One string each (a list of strings would be joined with ";"): the first line is the package's
# summary, the rest its long description. No summary for all packages is set, so that CPack
# does not put one before these.
string(CONCAT TARNWICK_DEB_INTRO
       "Tarnwick samples the machine's total CPU and memory use every few\n"
       "seconds, counts consecutive samples over a threshold and, on an alert,\n"
       "names the process that was most often on top, may terminate it, logs\n")
string(CONCAT CPACK_COMPONENT_TARNWICK_DESCRIPTION
       "system-load monitor with SMS and mail alerts (desktop program)\n"
       "${TARNWICK_DEB_INTRO}"
       "the event, plays a warning sound and sends the alert as SMS and mail.\n"
       "This package holds the tray program with its settings dialogs.")
string(CONCAT CPACK_COMPONENT_TARNWICKD_DESCRIPTION
       "system-load monitor with SMS and mail alerts (headless program)\n"
       "${TARNWICK_DEB_INTRO}"
       "the event and sends the alert as SMS and mail. This package holds the\n"
       "headless program tarnwickd, its systemd service, the mailer, and\n"
       "Prometheus alerting rules with example Prometheus and Alertmanager\n"
       "configurations for a fleet of monitors.")
set(CPACK_DEBIAN_TARNWICKD_PACKAGE_CONTROL_EXTRA
    ${TARNWICK_PACKAGING_DIR}/debian/tarnwickd/conffiles
    ${TARNWICK_PACKAGING_DIR}/debian/tarnwickd/postinst
    ${TARNWICK_PACKAGING_DIR}/debian/tarnwickd/prerm
    ${TARNWICK_PACKAGING_DIR}/debian/tarnwickd/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
