# Kistora.maps: the level set compiled by kistora-levelc from the level sources,
# with the tile pictures rendered by the art rules (KISTORA_TILE_FILES, target
# kistora-tiles) and the crate and worker pictures for the thumbnails.
set(KISTORA_LEVEL_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/levels/levels_01_20.txt
  ${CMAKE_CURRENT_SOURCE_DIR}/levels/levels_21_40.txt
  ${CMAKE_CURRENT_SOURCE_DIR}/levels/levels_41_60.txt)

if(TARGET kistora-levelc AND DEFINED KISTORA_TILE_FILES)
  # The thumbnails use the art's crate and worker when the art rules make them.
  set(KistoraLevelArtFiles)
  foreach(ArtFile crate.png idle_down.png)
    get_source_file_property(ArtGenerated ${KISTORA_CONTENT_BINARY_DIR}/art/${ArtFile} GENERATED)
    if(ArtGenerated)
      list(APPEND KistoraLevelArtFiles ${KISTORA_CONTENT_BINARY_DIR}/art/${ArtFile})
    endif()
  endforeach()
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/Kistora.maps
    COMMAND kistora-levelc --out ${CMAKE_BINARY_DIR}/Kistora.maps
            --tiles ${KISTORA_CONTENT_BINARY_DIR}/tiles
            --art ${KISTORA_CONTENT_BINARY_DIR}/art
            ${KISTORA_LEVEL_SOURCES}
    DEPENDS kistora-levelc ${KISTORA_LEVEL_SOURCES} ${KISTORA_TILE_FILES} ${KistoraLevelArtFiles}
    COMMENT "Compiling the levels into Kistora.maps"
    VERBATIM)
  add_custom_target(kistora-maps ALL DEPENDS ${CMAKE_BINARY_DIR}/Kistora.maps)
  if(TARGET kistora-tiles)
    add_dependencies(kistora-maps kistora-tiles)
  endif()
else()
  message(STATUS "Kistora.maps is not built: the level compiler or the tile pictures (KISTORA_TILE_FILES) are missing")
endif()
