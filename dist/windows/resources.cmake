# The Windows executable's resources: the icon and the version information,
# and a manifest that gives the game the screen's real pixels (per-monitor DPI
# awareness) instead of a picture Windows stretches.
#
# The icon is drawn from content/art/icon.svg like the Linux icons
# (dist/CMakeLists.txt): rsvg-convert renders each size, ImageMagick puts the
# sizes into one .ico.
set(KistoraWinOut ${CMAKE_BINARY_DIR}/windows)
set(KistoraArtSource ${CMAKE_SOURCE_DIR}/content/art)
set(KistoraWinIconSizes 16 20 24 32 40 48 64 256)
file(MAKE_DIRECTORY ${KistoraWinOut})

find_program(KISTORA_RSVG_CONVERT rsvg-convert)
find_program(KISTORA_MAGICK convert)
if(NOT KISTORA_RSVG_CONVERT OR NOT KISTORA_MAGICK)
  message(FATAL_ERROR "rsvg-convert or ImageMagick's convert not found: install librsvg2-bin and imagemagick")
endif()

add_custom_command(
  OUTPUT ${KistoraWinOut}/kistora.svg
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${KistoraArtSource}/icon.svg -DPALETTE=${KistoraArtSource}/palette.css
          -DOUTPUT=${KistoraWinOut}/kistora.svg -P ${CMAKE_SOURCE_DIR}/dist/inline-palette.cmake
  DEPENDS ${KistoraArtSource}/icon.svg ${KistoraArtSource}/palette.css ${CMAKE_SOURCE_DIR}/dist/inline-palette.cmake
  VERBATIM)
set(KistoraWinPngs)
foreach(Size ${KistoraWinIconSizes})
  add_custom_command(
    OUTPUT ${KistoraWinOut}/icon-${Size}.png
    COMMAND ${KISTORA_RSVG_CONVERT} --width ${Size} --height ${Size} --format png
            --output ${KistoraWinOut}/icon-${Size}.png ${KistoraWinOut}/kistora.svg
    DEPENDS ${KistoraWinOut}/kistora.svg
    VERBATIM)
  list(APPEND KistoraWinPngs ${KistoraWinOut}/icon-${Size}.png)
endforeach()
add_custom_command(
  OUTPUT ${KistoraWinOut}/kistora.ico
  COMMAND ${KISTORA_MAGICK} ${KistoraWinPngs} ${KistoraWinOut}/kistora.ico
  DEPENDS ${KistoraWinPngs}
  COMMENT "Drawing the Windows icon kistora.ico"
  VERBATIM)
add_custom_target(kistora-windows-icon DEPENDS ${KistoraWinOut}/kistora.ico)

set(KISTORA_ICON_FILE ${KistoraWinOut}/kistora.ico)
set(KISTORA_MANIFEST_FILE ${CMAKE_SOURCE_DIR}/dist/windows/kistora.manifest)
configure_file(${CMAKE_SOURCE_DIR}/dist/windows/kistora.rc.in ${KistoraWinOut}/kistora.rc @ONLY)
set(KISTORA_WINDOWS_RESOURCES ${KistoraWinOut}/kistora.rc)
set_source_files_properties(${KistoraWinOut}/kistora.rc PROPERTIES
  OBJECT_DEPENDS "${KistoraWinOut}/kistora.ico;${KISTORA_MANIFEST_FILE}")
