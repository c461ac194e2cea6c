# The program's face on the desktop: its icon (an SVG in data/, rendered to PNG
# at build time), desktop entry, AppStream metainfo, and the install rules that
# put them with the executable and the help pages under GNUInstallDirs paths.
#
# tamblin_desktop_integration(<executable target> <library target>)
#   The library gets the PNGs as the Qt resource ":/icons/<size>.png".

include(GNUInstallDirs)

set(TAMBLIN_ICON_SIZES 16 32 48 64 128 256)

function(tamblin_render_icons library out_var)
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  set(svg ${PROJECT_SOURCE_DIR}/data/${TAMBLIN_APP_ID}.svg)
  set(pngs)
  foreach(size ${TAMBLIN_ICON_SIZES})
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons
      COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${svg}
      DEPENDS ${svg} VERBATIM)
    list(APPEND pngs ${png})
  endforeach()
  qt_add_resources(${library} app_icons PREFIX /icons BASE ${CMAKE_CURRENT_BINARY_DIR}/icons FILES ${pngs})
  set(${out_var} ${pngs} PARENT_SCOPE)
endfunction()

function(tamblin_desktop_integration executable library)
  tamblin_render_icons(${library} pngs)
  set(id ${TAMBLIN_APP_ID})
  set(data ${PROJECT_SOURCE_DIR}/data)
  configure_file(${data}/${id}.metainfo.xml.in ${CMAKE_CURRENT_BINARY_DIR}/${id}.metainfo.xml @ONLY)

  install(TARGETS ${executable} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/bangzhu.htm ${CMAKE_CURRENT_SOURCE_DIR}/help.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/${id})
  install(FILES ${data}/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${data}/${id}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size ${TAMBLIN_ICON_SIZES})
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${id}.png)
  endforeach()
endfunction()
