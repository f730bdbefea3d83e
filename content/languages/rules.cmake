# Kistora.languages: a zip of the language files (kept here as checked-in text,
# UTF-8 with byte-order mark and CR LF) and the flags drawn by the art rules,
# all at the archive root as <code>.language and <code>.flag.
set(KISTORA_LANGUAGE_CODES en_GB de_DE fr_FR es_ES it_IT)
set(KISTORA_LANGUAGE_SOURCES)
foreach(Code ${KISTORA_LANGUAGE_CODES})
  list(APPEND KISTORA_LANGUAGE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${Code}.language)
endforeach()

# Flags come from the art rules (included before these); without them the
# archive is packed with the languages alone.
set(KISTORA_LANGUAGE_FLAGS)
set(KISTORA_LANGUAGE_FLAG_TARGETS)
if(KISTORA_FLAG_FILES)
  set(KISTORA_LANGUAGE_FLAGS ${KISTORA_FLAG_FILES})
  if(TARGET kistora-flags)
    set(KISTORA_LANGUAGE_FLAG_TARGETS kistora-flags)
  endif()
endif()

add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/Kistora.languages
  COMMAND kistora-langpack ${CMAKE_BINARY_DIR}/Kistora.languages ${KISTORA_LANGUAGE_SOURCES} ${KISTORA_LANGUAGE_FLAGS}
  DEPENDS kistora-langpack ${KISTORA_LANGUAGE_SOURCES} ${KISTORA_LANGUAGE_FLAGS} ${KISTORA_LANGUAGE_FLAG_TARGETS}
  COMMENT "Packing Kistora.languages"
  VERBATIM)
add_custom_target(kistora-languages ALL DEPENDS ${CMAKE_BINARY_DIR}/Kistora.languages)
