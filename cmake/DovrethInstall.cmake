# What `cmake --install` puts where, and the Debian package CPack makes of it.
include_guard(GLOBAL)
include(GNUInstallDirs)

set(_data ${PROJECT_SOURCE_DIR}/data)
set(_appid org.dovreth.Dovreth)

install(TARGETS dovreth-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET dovreth)
  install(TARGETS dovreth RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_data}/${_appid}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_data}/${_appid}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${_data}/icons/dovreth.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${_data}/icons/dovreth-48.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME dovreth.png)
  install(FILES ${_data}/man/dovreth.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${_data}/man/ja/dovreth.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
endif()
install(FILES ${_data}/man/dovreth-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_data}/man/ja/dovreth-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
install(FILES ${_data}/completion/dovreth-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dovreth)
set(CPACK_PACKAGE_VENDOR "Dovreth")
set(CPACK_PACKAGE_CONTACT "Dovreth developers <dovreth@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rename many files and folders at once")
# One string: set() with several would join them with the list separator ';'.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Dovreth loads folders into an edit tree, changes the new names in bulk (keywords, replace, "
    "wildcards, serial numbers, length limits), shows them beside the old names, then renames "
    "on disk with a log or copies under the new names. It works on Shift-JIS (CP932) names. "
    "dovreth-cli runs the same engine from a terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# dpkg-shlibdeps (dpkg-dev) works out the library packages from the binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin, which no binary links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
include(CPack)
