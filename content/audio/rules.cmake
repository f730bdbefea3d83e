# Music and effects: each score in this folder is rendered by kistora-synth
# into content/audio/ of the build tree, and the four results go into
# Kistora.data under the names the game loads. A changed score re-renders
# only its own file; a changed synthesizer re-renders all four.
set(KISTORA_AUDIO_DIR ${KISTORA_CONTENT_BINARY_DIR}/audio)
file(MAKE_DIRECTORY ${KISTORA_AUDIO_DIR})

# entry name in Kistora.data = score file
set(KISTORA_AUDIO_SCORES
  music1.ogg=music1.score
  music2.ogg=music2.score
  rollover3.wav=rollover3.score
  click3.wav=click3.score)

set(KISTORA_AUDIO_FILES)
foreach(Pair ${KISTORA_AUDIO_SCORES})
  string(REPLACE "=" ";" Parts ${Pair})
  list(GET Parts 0 EntryName)
  list(GET Parts 1 ScoreName)
  set(Score ${CMAKE_CURRENT_LIST_DIR}/${ScoreName})
  set(Output ${KISTORA_AUDIO_DIR}/${EntryName})
  add_custom_command(
    OUTPUT ${Output}
    COMMAND kistora-synth ${Score} ${Output}
    DEPENDS kistora-synth ${Score}
    COMMENT "Rendering ${EntryName}"
    VERBATIM)
  list(APPEND KISTORA_DATA_ENTRIES "${EntryName}=${Output}")
  list(APPEND KISTORA_DATA_DEPENDS ${Output})
  list(APPEND KISTORA_AUDIO_FILES ${Output})
endforeach()

# Lets the audio be built (and checked) on its own: cmake --build . --target kistora-audio
add_custom_target(kistora-audio DEPENDS ${KISTORA_AUDIO_FILES})
