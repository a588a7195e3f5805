# The Debian package (cpack -G DEB, see scripts/package.sh): the programs' install() rules, and
# here the desktop integration, documentation, the kelvane group with its limits, and the units.
# The package installs under /usr whatever CMAKE_INSTALL_PREFIX says; /etc and /lib stay absolute.
include(GNUInstallDirs)

set(KELVANE_APP_ID example.kelvane.Kelvane)
set(pkg_src ${PROJECT_SOURCE_DIR}/packaging)
set(pkg_gen ${PROJECT_BINARY_DIR}/packaging)

configure_file(${pkg_src}/${KELVANE_APP_ID}.metainfo.xml.in ${pkg_gen}/${KELVANE_APP_ID}.metainfo.xml @ONLY)
foreach(page kelvane.1 kelvanectl.1)
  configure_file(${pkg_src}/man/${page} ${pkg_gen}/man/${page} @ONLY)
endforeach()
configure_file(${pkg_src}/changelog ${pkg_gen}/changelog.Debian @ONLY)

install(FILES ${pkg_src}/${KELVANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pkg_gen}/${KELVANE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/app/resources/mainicon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME kelvane.svg)
install(FILES ${pkg_src}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvane)
install(FILES ${pkg_src}/sysusers.conf DESTINATION lib/sysusers.d RENAME kelvane.conf)
install(FILES ${pkg_src}/kelvanectl.user.service DESTINATION lib/systemd/user RENAME kelvanectl.service)
install(FILES ${pkg_src}/limits.conf DESTINATION /etc/security/limits.d RENAME kelvane.conf)
install(FILES ${pkg_src}/kelvane.ini DESTINATION /etc/kelvane)
install(FILES ${pkg_src}/kelvane-optimizer.service DESTINATION /lib/systemd/system)

# PNG icons rendered from the SVG, and the man pages and changelog compressed, at install time, so
# that a plain build needs neither rsvg-convert nor the packaging tools.
set(KELVANE_ICON_SIZES 16 22 24 32 48 64 128 256)
install(CODE "
  set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  foreach(size ${KELVANE_ICON_SIZES})
    set(dir \"\${root}/${CMAKE_INSTALL_DATADIR}/icons/hicolor/\${size}x\${size}/apps\")
    file(MAKE_DIRECTORY \"\${dir}\")
    execute_process(COMMAND \${RSVG_CONVERT} -w \${size} -h \${size} -o \"\${dir}/kelvane.png\"
                    \"${PROJECT_SOURCE_DIR}/app/resources/mainicon.svg\" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  file(MAKE_DIRECTORY \"\${root}/${CMAKE_INSTALL_MANDIR}/man1\" \"\${root}/${CMAKE_INSTALL_DATADIR}/doc/kelvane\")
  foreach(pair \"man/kelvane.1;${CMAKE_INSTALL_MANDIR}/man1/kelvane.1.gz\"
               \"man/kelvanectl.1;${CMAKE_INSTALL_MANDIR}/man1/kelvanectl.1.gz\"
               \"changelog.Debian;${CMAKE_INSTALL_DATADIR}/doc/kelvane/changelog.Debian.gz\")
    list(GET pair 0 from)
    list(GET pair 1 to)
    execute_process(COMMAND gzip -9nc \"${pkg_gen}/\${from}\" OUTPUT_FILE \"\${root}/\${to}\" COMMAND_ERROR_IS_FATAL ANY)
    file(CHMOD \"\${root}/\${to}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kelvane developers")
set(CPACK_PACKAGE_CONTACT "The Kelvane developers <kelvane@kelvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "process priority optimizer for the Linux desktop")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Kelvane watches the running processes of the desktop and adjusts their\n"
  "scheduling: it boosts the foreground application, holds processes that have\n"
  "a profile at their priority class and CPU affinity, idles CPU hogs, and ends\n"
  "processes marked to be ended on sight or whose shutdown time has come.\n"
  ".\n"
  "The package holds the window program kelvane (a notification-area icon),\n"
  "kelvanectl (the optimizer without a window, also as systemd units), and the\n"
  "kelvane group whose members may raise their own processes to nice -10.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON) # the /etc and /lib destinations land in the package, not on this machine
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KELVANE_PUBLISHER_URL}/Kelvane/index.html")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its plugins at run time, which dpkg-shlibdeps cannot see: the SVG image and icon engine
# plugins (libqt6svg6) draw the tray, window and list icons, which stay empty without them; the X
# platform plugin comes with libqt6gui6, the others with qt6-qpa-plugins. addgroup is the postinst's
# way where systemd-sysusers is missing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-qpa-plugins, adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${pkg_src}/postinst ${pkg_src}/prerm ${pkg_src}/postrm
    ${pkg_src}/conffiles)
include(CPack)
