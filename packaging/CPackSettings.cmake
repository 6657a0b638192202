# The Debian package built by `make package` (cpack -G DEB).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VENDOR "The Nimbrel developers")
set(CPACK_PACKAGE_CONTACT "Nimbrel developer <dev@nimbrel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop companion of a USB home weather station")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Nimbrel reads a USB home weather station (indoor sensor, up to five remote\n"
    "temperature/humidity channels, barometer, wind, rain and UV), shows the\n"
    "current conditions, keeps every history record in a local database and\n"
    "plots the history. nimbrel-tool exports the history and prints climate\n"
    "reports.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://nimbrel.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Shared libraries are found by dpkg-shlibdeps; what is loaded at run time
# (the SQLite driver of Qt, the font the windows are drawn for) is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-dejavu-core")
# The web page loads Debian's chart library from its package's folder (the
# [web] chartScript default); without it the page shows no charts and says so.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev, qt6-wayland, libjs-chart.js")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_LIST_DIR}/postinst;${CMAKE_CURRENT_LIST_DIR}/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
