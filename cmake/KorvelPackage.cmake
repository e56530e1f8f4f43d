# korvel_<version>_amd64.deb: the three programs and their desktop and manual files, with
# dependencies read from the executables and a postinst that gives the ICMP helper cap_net_raw.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Korvel authors")
set(CPACK_PACKAGE_CONTACT "The Korvel authors <korvel@example.org>"
    CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware programmer for networked devices over ICMP echo")
# CPack puts the summary first itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Korvel programs firmware images into small networked devices: into the
device itself through its boot monitor, or into a subordinate device on the
device's bus. It also reads a device's board id, serial number and versions.
.
The package holds the window (korvel), the same procedures for scripts
(korvel-cli) and a simulated device for trying them out (korvel-devsim).
Where ping sockets are closed, a small helper that alone is given cap_net_raw
at installation hands them one ICMP socket; neither carries a capability.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KORVEL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# setcap for the postinst.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libcap2-bin)
# Qt's own dialogs (file choice, buttons) in Russian, as the window is.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/data/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
