# Install rules: the program, its menu entry, icon and AppStream metadata, and
# the licence. Refers only to the zarin executable target.
include(GNUInstallDirs)

# The application id names the menu entry, the icon and the metadata alike.
set(ZARIN_APP_ID org.morvane.zarin)
set(ZARIN_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR}/../packaging)
cmake_path(NORMAL_PATH ZARIN_PACKAGING_DIR)

install(TARGETS zarin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${ZARIN_PACKAGING_DIR}/${ZARIN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZARIN_PACKAGING_DIR}/${ZARIN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${ZARIN_PACKAGING_DIR}/${ZARIN_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

# The fixed-size icons are rendered from the drawing at build time.
find_program(ZARIN_RSVG_CONVERT rsvg-convert)
if(ZARIN_RSVG_CONVERT)
  set(icons)
  foreach(size 48 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}/${ZARIN_APP_ID}.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}
      COMMAND ${ZARIN_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${ZARIN_PACKAGING_DIR}/${ZARIN_APP_ID}.svg
      DEPENDS ${ZARIN_PACKAGING_DIR}/${ZARIN_APP_ID}.svg
      COMMENT "Rendering the ${size} px icon"
      VERBATIM)
    list(APPEND icons ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(zarin_icons ALL DEPENDS ${icons})
  # Whoever builds the program can install it.
  add_dependencies(zarin zarin_icons)
else()
  message(WARNING "rsvg-convert (librsvg2-bin) not found: only the scalable icon is installed")
endif()
