# Writes a drawing of content/art without its link to palette.css: every
# class="name" becomes color="#value" from the palette, which keeps the
# drawing's currentColor painting and its inheritance as they were. The result
# stands alone, as an installed icon must.
#   cmake -DSOURCE=icon.svg -DPALETTE=palette.css -DOUTPUT=kistora.svg -P inline-palette.cmake
foreach(Var SOURCE PALETTE OUTPUT)
  if(NOT DEFINED ${Var})
    message(FATAL_ERROR "inline-palette.cmake needs -D${Var}=...")
  endif()
endforeach()

file(READ ${PALETTE} Palette)
file(READ ${SOURCE} Drawing)
# (No ";" in the matches: it would split CMake's lists.)
string(REGEX MATCHALL "\\.[A-Za-z0-9_-]+[ \t]*\\{[ \t]*color:[ \t]*#[0-9a-fA-F]+" Rules "${Palette}")
foreach(Rule ${Rules})
  string(REGEX REPLACE "^\\.([A-Za-z0-9_-]+).*#([0-9a-fA-F]+)$" "\\1" Name "${Rule}")
  string(REGEX REPLACE "^\\.([A-Za-z0-9_-]+).*#([0-9a-fA-F]+)$" "\\2" Value "${Rule}")
  string(REPLACE "class=\"${Name}\"" "color=\"#${Value}\"" Drawing "${Drawing}")
endforeach()
string(REGEX REPLACE "<\\?xml-stylesheet[^>]*\\?>\n?" "" Drawing "${Drawing}")
if(Drawing MATCHES "class=\"[^\"]*\"")
  message(FATAL_ERROR "${SOURCE}: ${CMAKE_MATCH_0} is not a single palette class")
endif()
file(WRITE ${OUTPUT}.part "${Drawing}")
file(RENAME ${OUTPUT}.part ${OUTPUT})
