# Installing, laid out like a Debian game under the prefix: the launcher in games/ (on the
# PATH of every Debian user), the program in lib/games/aerovane/, the sounds in
# share/games/aerovane/, and the desktop entry, icons, AppStream metadata, manual page and
# licence where desktops and package tools look for them. The launcher runs the game from
# the player's own folder, since the game keeps its saves beside its sounds.
include(GNUInstallDirs)
set(AV_INSTALL_GAMESDIR games CACHE STRING "Folder under the prefix for the launcher (bin for a home install)")
set(AV_APP_ID io.github.aerovane.Aerovane)
set(AV_INSTALL_PROGRAM lib/games/aerovane/aerovane)
set(AV_INSTALL_SOUNDS ${CMAKE_INSTALL_DATADIR}/games/aerovane)

configure_file(dist/aerovane.in ${CMAKE_BINARY_DIR}/dist/aerovane @ONLY)
install(TARGETS aerovane RUNTIME DESTINATION lib/games/aerovane)
install(DIRECTORY data/ DESTINATION ${AV_INSTALL_SOUNDS} FILES_MATCHING PATTERN "*.ogg")
install(PROGRAMS ${CMAKE_BINARY_DIR}/dist/aerovane DESTINATION ${AV_INSTALL_GAMESDIR})
install(FILES dist/aerovane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 48 64 128 256)
  install(FILES dist/icons/aerovane-${size}.png RENAME aerovane.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES dist/${AV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page and the changelog go compressed the way Debian wants them: gzip -9,
# without the file's name and time, so the same source gives the same bytes.
set(av_gzipped)
foreach(doc aerovane.6 changelog)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/dist/${doc}.gz
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${CMAKE_SOURCE_DIR}/dist/${doc} ${CMAKE_BINARY_DIR}/dist/${doc}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/dist/${doc} VERBATIM)
  list(APPEND av_gzipped ${CMAKE_BINARY_DIR}/dist/${doc}.gz)
endforeach()
add_custom_target(av_docs ALL DEPENDS ${av_gzipped})
install(FILES ${CMAKE_BINARY_DIR}/dist/aerovane.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES dist/copyright ${CMAKE_BINARY_DIR}/dist/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB in a Release build folder: aerovane_<version>_<arch>.deb, its dependencies
# worked out from the libraries the program links.
set(CPACK_PACKAGE_NAME aerovane)
set(CPACK_PACKAGE_VENDOR "The Aerovane 2D/3D developers")
set(CPACK_PACKAGE_CONTACT "The Aerovane 2D/3D developers <aerovane@example.org>" CACHE STRING
  "Maintainer of the package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade biplane shooter with an anaglyph 3D look")
# Wrapped by hand: the package tools show these lines as they are.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Your biplane holds a band of the screen while the sky scrolls past. Shoot"
  "down every enemy biplane to clear a stage, leave the balloons alone, catch"
  "the blimp for a bonus and keep away from the mountains. Each stage brings"
  "more enemies and multiplies every score by the stage number."
  ""
  "The sky, the title and the clouds can be drawn flat or as an anaglyph pair"
  "for four types of coloured glasses, and an optional retro effect darkens"
  "every second row of the screen.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
