# The icon, drawn once as res/orvane.svg and rendered at build time: the
# PNG sizes of the desktop's icon theme, and the window's own 16 and 32 px
# images, compiled into the program. Rendering keeps one source of the
# artwork in the tree instead of binary copies that can drift from it.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)

set(ORVANE_ICON_SVG ${CMAKE_CURRENT_SOURCE_DIR}/orvane.svg)
set(ORVANE_ICON_SIZES 16 32 48 64 128 256)
set(ORVANE_ICON_DIR ${CMAKE_CURRENT_BINARY_DIR}/icons)
set(ORVANE_ICON_PNGS "")
foreach(size IN LISTS ORVANE_ICON_SIZES)
  set(png ${ORVANE_ICON_DIR}/${size}/org.orvane.Orvane.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVANE_ICON_DIR}/${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${ORVANE_ICON_SVG}
    DEPENDS ${ORVANE_ICON_SVG}
    COMMENT "Rendering the ${size} px icon"
    VERBATIM)
  list(APPEND ORVANE_ICON_PNGS ${png})
endforeach()
add_custom_target(orvane_icons ALL DEPENDS ${ORVANE_ICON_PNGS})

# The desktop's icon theme (freedesktop hicolor).
if(NOT WIN32)
  include(GNUInstallDirs)
  foreach(size IN LISTS ORVANE_ICON_SIZES)
    install(FILES ${ORVANE_ICON_DIR}/${size}/org.orvane.Orvane.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${ORVANE_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME org.orvane.Orvane.svg)
endif()

# The window's icon group: each image as the bytes of a C array body.
set(ORVANE_ICON_INCS "")
foreach(size 16 32)
  set(inc ${CMAKE_CURRENT_BINARY_DIR}/orvane${size}.png.inc)
  add_custom_command(
    OUTPUT ${inc}
    COMMAND ${CMAKE_COMMAND} -DIN=${ORVANE_ICON_DIR}/${size}/org.orvane.Orvane.png -DOUT=${inc}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/bytes.cmake
    DEPENDS ${ORVANE_ICON_DIR}/${size}/org.orvane.Orvane.png ${CMAKE_CURRENT_SOURCE_DIR}/bytes.cmake
    COMMENT "Embedding the ${size} px window icon"
    VERBATIM)
  list(APPEND ORVANE_ICON_INCS ${inc})
endforeach()
