# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` in the build folder makes tafelix_<version>_amd64.deb from the "system" install
# component: the program under /usr with a read-only template of the program folder. The
# learner's own files are made at the first start in ~/Tafelix and are never in the package.
set(CPACK_PACKAGE_NAME tafelix)
set(CPACK_PACKAGE_VENDOR "Tafelix")
set(CPACK_PACKAGE_CONTACT "Tafelix <tafelix@users.noreply.github.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "vocabulary trainer with the card box")
# Lines of the extended description stay within 80 columns, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Tafelix drills word lists by the card-box method: a word you know moves one\n\
compartment up, a word you miss goes back to the first one. It edits,\n\
searches, sorts and prints word lists and keeps a statistics log of the\n\
drills. The user interface is German.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL system)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not found by shlibdeps: the opener behind "Hilfe" and the fonts the printouts name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, fonts-liberation2")
# German texts in Qt's own file dialogs; the daemon and voices behind "Vorlesen" (shlibdeps
# finds its client library, not the daemon it talks to); Qt's Wayland plug-in, without which a
# Wayland desktop runs the program through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, speech-dispatcher, speech-dispatcher-espeak-ng, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The licence (machine-readable) and the changelog that every Debian package carries. The
# changelog's newest entry must name the project's version (test package.changelog_version).
set(TAFELIX_DEB_DOC ${CMAKE_BINARY_DIR}/debian-doc)
add_custom_command(OUTPUT ${TAFELIX_DEB_DOC}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAFELIX_DEB_DOC}
    COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/cmake/debian/changelog > ${TAFELIX_DEB_DOC}/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog VERBATIM)
add_custom_target(debian_doc ALL DEPENDS ${TAFELIX_DEB_DOC}/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright ${TAFELIX_DEB_DOC}/changelog.gz
    DESTINATION share/doc/tafelix COMPONENT system EXCLUDE_FROM_ALL)
find_program(DPKG_PARSECHANGELOG dpkg-parsechangelog)
if(DPKG_PARSECHANGELOG)
    add_test(NAME package.changelog_version COMMAND bash -c [=[
        v=$("$0" -l "$1" -S Version) && [[ $v == "$2" ]] ||
            { echo "the changelog's newest entry is '$v', the project is $2"; exit 1; }]=]
        ${DPKG_PARSECHANGELOG} ${CMAKE_SOURCE_DIR}/cmake/debian/changelog ${PROJECT_VERSION})
    set_tests_properties(package.changelog_version PROPERTIES TIMEOUT 30 LABELS package)
endif()

include(CPack)
