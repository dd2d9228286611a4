# `make package`: a Debian package of what `cmake --install` puts down, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestory)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestory")
set(CPACK_PACKAGE_CONTACT "Kestory developers <kestory@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Exposure chart of JPEG photos from their EXIF data")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Kestory reads the exposure time, F-number and ISO speed of JPEG photos and places each photo on "
    "an exposure chart of apertures against shutter speeds, crossed by lines of equal EV. The "
    "shooting data can be saved as CSV, the chart copied, printed and previewed. Japanese interface.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # kestory_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# The libraries come from dpkg-shlibdeps where dpkg-dev is installed, by name otherwise (Debian 12).
# Beside them what the program loads or uses without linking it: Qt's platform plugins, Qt's own
# Japanese dialogs, and the chart labels' font.
find_program(KESTORY_DPKG_SHLIBDEPS dpkg-shlibdeps)
set(runtime_packages "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipafont-gothic")
if(KESTORY_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${runtime_packages}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6core6, libqt6gui6, libqt6widgets6, libqt6printsupport6, libqt6svg6, libopencv-core406, libopencv-imgproc406, libturbojpeg0, libsqlite3-0, libheif1, libde265-0, libraw20, libstdc++6, ${runtime_packages}")
endif()
# The help command hands the document to xdg-open; Qt's Wayland plugin lets the window run natively
# on a Wayland desktop instead of through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")

include(CPack)
