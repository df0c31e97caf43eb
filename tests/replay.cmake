# The replay harness against committed scripts and their outputs.
file(GLOB STARVANE_REPLAY_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/replay/*.script)
foreach(script ${STARVANE_REPLAY_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME replay.${name}
    COMMAND ${CMAKE_COMMAND} -DREPLAY=$<TARGET_FILE:starvane-replay> -DSCRIPT=${script}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/replay/check.cmake)
endforeach()
