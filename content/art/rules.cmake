# Pictures: every picture of the game is an SVG drawing in this folder, rendered
# to PNG at build time with rsvg-convert (librsvg). All colours come from
# palette.css, which each drawing links with an xml-stylesheet line.
#
# Produces, under ${KISTORA_CONTENT_BINARY_DIR}:
#   art/*.png            the pictures packed into Kistora.data (KISTORA_DATA_ENTRIES)
#   tiles/*.png          level tiles for the level compiler (KISTORA_TILE_FILES, target kistora-tiles)
#   flags/<code>.flag    language flags for the language source (KISTORA_FLAG_FILES, target kistora-flags)
# Included from content/CMakeLists.txt, so plain set() and list(APPEND) reach it.

find_program(KISTORA_RSVG_CONVERT rsvg-convert)
if(NOT KISTORA_RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert not found: install librsvg2-bin (scripts/install-deps.sh)")
endif()

set(KistoraArtSource ${CMAKE_CURRENT_LIST_DIR})
set(KistoraArtOut ${KISTORA_CONTENT_BINARY_DIR}/art)
set(KistoraTileOut ${KISTORA_CONTENT_BINARY_DIR}/tiles)
set(KistoraFlagOut ${KISTORA_CONTENT_BINARY_DIR}/flags)
set(KistoraArtStyles ${KISTORA_CONTENT_BINARY_DIR}/art-styles)
file(MAKE_DIRECTORY ${KistoraArtOut} ${KistoraTileOut} ${KistoraFlagOut} ${KistoraArtStyles})

# Every title and splash picture is 1920 pixels wide.
set(KistoraWideWidth 1920)
# Heights the drawings are made for (their own height attribute); taller pages
# get the drawing centred with the rest filled as described in the drawing.
set(KistoraTitleDrawnHeight 330)
set(KistoraSplashDrawnHeight 1016)

# kistora_draw_svg(OUTPUT SOURCE [STYLE css] [PAGE_HEIGHT h DRAWN_HEIGHT d] [DEPENDS files...])
# Renders SOURCE (a file of this folder) into OUTPUT. STYLE adds a stylesheet on
# top of the palette; PAGE_HEIGHT renders onto a 1920 x h page with the drawing
# (d high) centred vertically. The PNG is written beside the output and renamed
# into place, so a failed render never leaves a fresh-looking broken file.
function(kistora_draw_svg Output Source)
  cmake_parse_arguments(PARSE_ARGV 2 Arg "" "STYLE;PAGE_HEIGHT;DRAWN_HEIGHT" "DEPENDS")
  set(Options)
  set(Depends ${KistoraArtSource}/${Source} ${KistoraArtSource}/palette.css ${Arg_DEPENDS})
  if(Arg_STYLE)
    list(APPEND Options --stylesheet ${Arg_STYLE})
    list(APPEND Depends ${Arg_STYLE})
  endif()
  if(Arg_PAGE_HEIGHT)
    math(EXPR Top "(${Arg_PAGE_HEIGHT} - ${Arg_DRAWN_HEIGHT}) / 2")
    list(APPEND Options --page-width ${KistoraWideWidth} --page-height ${Arg_PAGE_HEIGHT} --top ${Top})
  endif()
  get_filename_component(Name ${Output} NAME)
  add_custom_command(
    OUTPUT ${Output}
    COMMAND ${KISTORA_RSVG_CONVERT} ${Options} --format png --output ${Output}.part ${KistoraArtSource}/${Source}
    COMMAND ${CMAKE_COMMAND} -E rename ${Output}.part ${Output}
    DEPENDS ${Depends}
    COMMENT "Drawing ${Name}"
    VERBATIM)
endfunction()

# --- Kistora.data pictures -------------------------------------------------
set(KistoraArtFiles)

# Board pictures, 64 x 64. The facing-left workers are the facing-right
# drawings mirrored by mirror.css. tile_01 (the margins around the board) is
# the same ground as the level tile outside the walls, so the two meet unseen.
set(KistoraBoardPictures
  "crate.png:crate.svg:"
  "idle_left.png:idle_right.svg:mirror.css"
  "idle_right.png:idle_right.svg:"
  "idle_up.png:idle_up.svg:"
  "idle_down.png:idle_down.svg:"
  "push_left.png:push_right.svg:mirror.css"
  "push_right.png:push_right.svg:"
  "push_up.png:push_up.svg:"
  "push_down.png:push_down.svg:"
  "tile_01.png:outside.svg:"
  "locked.png:locked.svg:"
  "titleback_c.png:titleback.svg:")
foreach(Picture ${KistoraBoardPictures})
  string(REPLACE ":" ";" Parts "${Picture}")
  list(GET Parts 0 Name)
  list(GET Parts 1 Source)
  list(LENGTH Parts PartCount)
  set(Style)
  if(PartCount GREATER 2)
    list(GET Parts 2 Style)
  endif()
  if(Style)
    kistora_draw_svg(${KistoraArtOut}/${Name} ${Source} STYLE ${KistoraArtSource}/${Style})
  else()
    kistora_draw_svg(${KistoraArtOut}/${Name} ${Source})
  endif()
  list(APPEND KistoraArtFiles ${KistoraArtOut}/${Name})
  list(APPEND KISTORA_DATA_ENTRIES "${Name}=${KistoraArtOut}/${Name}")
endforeach()

# Title and splash per screen shape: "suffix:screen height at 1920 wide:title height".
# The title stays well inside the upper half of the screen, where the menus
# (which hang from half the screen height) never cover it.
set(KistoraScreenShapes
  "3x2:1280:380"
  "4x3:1440:400"
  "5x4:1536:410"
  "16x9:1080:340"
  "16x10:1200:360"
  "17x9:1016:330")
foreach(Shape ${KistoraScreenShapes})
  string(REPLACE ":" ";" Parts "${Shape}")
  list(GET Parts 0 Suffix)
  list(GET Parts 1 ScreenHeight)
  list(GET Parts 2 TitleHeight)
  kistora_draw_svg(${KistoraArtOut}/title_${Suffix}.png title.svg
    PAGE_HEIGHT ${TitleHeight} DRAWN_HEIGHT ${KistoraTitleDrawnHeight})
  kistora_draw_svg(${KistoraArtOut}/bgs_${Suffix}.png splash.svg
    PAGE_HEIGHT ${ScreenHeight} DRAWN_HEIGHT ${KistoraSplashDrawnHeight})
  foreach(Name title_${Suffix}.png bgs_${Suffix}.png)
    list(APPEND KistoraArtFiles ${KistoraArtOut}/${Name})
    list(APPEND KISTORA_DATA_ENTRIES "${Name}=${KistoraArtOut}/${Name}")
  endforeach()
endforeach()

# The window icon, 64 x 64 (the desktop icons are rendered from the same
# drawing by dist/CMakeLists.txt).
kistora_draw_svg(${KistoraArtOut}/icon.png icon.svg)
list(APPEND KistoraArtFiles ${KistoraArtOut}/icon.png)
list(APPEND KISTORA_DATA_ENTRIES "icon.png=${KistoraArtOut}/icon.png")

list(APPEND KISTORA_DATA_DEPENDS ${KistoraArtFiles})
add_custom_target(kistora-art ALL DEPENDS ${KistoraArtFiles})

# --- Level tiles -------------------------------------------------------------
# wall_NN: NN is a bit mask of the orthogonal neighbours that are walls too
# (1 up, 2 right, 4 down, 8 left); the edges facing those neighbours are hidden
# so the pieces join into continuous walls.
set(KISTORA_TILE_FILES)
foreach(Tile floor outside target)
  kistora_draw_svg(${KistoraTileOut}/${Tile}.png ${Tile}.svg)
  list(APPEND KISTORA_TILE_FILES ${KistoraTileOut}/${Tile}.png)
endforeach()
foreach(Mask RANGE 15)
  set(Rules "/* wall piece ${Mask}: hide the edges that join a neighbouring wall */\n")
  foreach(Side "1:up" "2:right" "4:down" "8:left")
    string(REPLACE ":" ";" Parts "${Side}")
    list(GET Parts 0 Bit)
    list(GET Parts 1 Edge)
    math(EXPR Joined "${Mask} & ${Bit}")
    if(Joined)
      string(APPEND Rules "#edge-${Edge} { display: none; }\n")
    endif()
  endforeach()
  if(Mask LESS 10)
    set(Number 0${Mask})
  else()
    set(Number ${Mask})
  endif()
  # Written only when its text changes, so a new configure rebuilds nothing.
  file(CONFIGURE OUTPUT ${KistoraArtStyles}/wall_${Number}.css CONTENT "${Rules}")
  kistora_draw_svg(${KistoraTileOut}/wall_${Number}.png wall.svg STYLE ${KistoraArtStyles}/wall_${Number}.css)
  list(APPEND KISTORA_TILE_FILES ${KistoraTileOut}/wall_${Number}.png)
endforeach()
add_custom_target(kistora-tiles ALL DEPENDS ${KISTORA_TILE_FILES})

# --- Language flags ----------------------------------------------------------
set(KISTORA_FLAG_FILES)
foreach(Code en_GB de_DE fr_FR es_ES it_IT)
  kistora_draw_svg(${KistoraFlagOut}/${Code}.flag flag_${Code}.svg)
  list(APPEND KISTORA_FLAG_FILES ${KistoraFlagOut}/${Code}.flag)
endforeach()
add_custom_target(kistora-flags ALL DEPENDS ${KISTORA_FLAG_FILES})
