# The Debian package, built by CPack from the install rules (packaging/build-deb.sh runs it). The
# Qt libraries the programs link are found by dpkg-shlibdeps; the platform plugins they load at run
# time are not linked, so they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME volmar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Korvane)
set(CPACK_PACKAGE_CONTACT "Volmar maintainers <volmar@korvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor of DSP-board test program settings, and test control panel")
# The summary is the synopsis line; this is the long description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Volmar edits the INI files that drive the test programs of DSP boards, laid out
by description files (.vlmr) as trees of coloured groups of typed parameters,
and writes each change into its own key line, leaving every other byte alone.
The same window runs the test program and shows its output, loads firmware and
starts a signal visualiser. volmar-ini reads, writes, checks and compares the
same files from scripts.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own dialogs and buttons in Russian; without them they stay English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "x-terminal-emulator")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
