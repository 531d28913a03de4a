# The Debian package, made by CPack from what the install step puts under /usr:
#   cmake --preset package && cmake --build --preset package && cpack --preset package
# (scripts/package.sh does it). Depends is computed from the program's libraries by
# dpkg-shlibdeps; the maintainer scripts only ask a running udev to reload its rules.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvanta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KORVANTA III developers")
set(CPACK_PACKAGE_CONTACT "KORVANTA III developers <korvanta@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program of the LUMARIS 318QX gloss meter")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "KORVANTA III polls a LUMARIS 318QX hand-held gloss meter over USB. It shows\n"
  "the instrument's serial number, firmware and current 20 and 60 degree\n"
  "readings, triggers normal and dark measurements, collects the readings in a\n"
  "table with comments and exports them to the clipboard and a spreadsheet, a\n"
  "text file or the printer. It locks and releases the instrument's geometries\n"
  "and speaks English, German and French.\n"
  "\n"
  "A built-in virtual instrument (korvanta --simulate) runs it without one.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.example.com/")
# Among them libqt6gui6, which ships the offscreen platform `korvanta --report` runs on without a
# display, and depends on fontconfig and through it on a font (scripts/check-package.sh checks).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The toolkit's own buttons and dialogs in German and French (the libraries' dependencies are
# appended by dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
# The manual opens in the desktop's viewer; printouts keep their layout with Arial's metrics.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
