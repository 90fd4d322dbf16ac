# `cpack -G DEB` in the build folder makes tafelix_<version>_amd64.deb from the "system" install
# component: the program under /usr with a read-only template of the program folder. The
# learner's own files are made at the first start in ~/Tafelix and are never in the package.
set(CPACK_PACKAGE_NAME tafelix)
set(CPACK_PACKAGE_VENDOR "Tafelix")
set(CPACK_PACKAGE_CONTACT "Tafelix <tafelix@users.noreply.github.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "vocabulary trainer with the card box")
set(CPACK_PACKAGE_DESCRIPTION
    "Tafelix drills word lists by the card-box method: a word you know moves one compartment\n\
up, a word you miss goes back to the first one. It edits, searches, sorts and prints word\n\
lists and keeps a statistics log of the drills. The user interface is German.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL system)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/tafelix/tafelix)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not found by shlibdeps: the opener behind "Hilfe" and the fonts the printouts name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, fonts-liberation2")
# German texts in Qt's own file dialogs; the engine and voices behind "Vorlesen" (shlibdeps
# finds Qt's speech library, not the plug-in it loads, nor the daemon that plug-in talks to).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, qt6-speech-speechd-plugin, speech-dispatcher, speech-dispatcher-espeak-ng")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
