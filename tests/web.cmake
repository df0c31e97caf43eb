# The WebAssembly build (cmake/web.cmake) against the native one: every
# committed replay script prints the same under node as natively, and the
# page runs in headless Chromium (captures and figures in build/web-e2e).
if(NOT TARGET starvane_wasm)
  if(NOT STARVANE_EMCMAKE)  # missing, rather than turned off
    starvane_missing_test(web_e2e "emscripten (emcmake)")
  endif()
  return()
endif()
find_program(STARVANE_NODE node)
if(NOT STARVANE_NODE)
  starvane_missing_test(web_e2e "node (nodejs)")
  return()
endif()

file(GLOB STARVANE_PARITY_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/replay/*.script)
foreach(script ${STARVANE_PARITY_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME web_replay.${name}
    COMMAND ${CMAKE_COMMAND} -DNATIVE=$<TARGET_FILE:starvane-replay> -DNODE=${STARVANE_NODE}
            -DWASM=${STARVANE_WASM_DIR}/starvane-replay.js -DSCRIPT=${script}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/web/replay_parity.cmake)
endforeach()

# Alone, since it measures the page in real time.
add_test(NAME web_e2e
  COMMAND ${STARVANE_NODE} ${CMAKE_CURRENT_SOURCE_DIR}/web/page_test.mjs ${STARVANE_WASM_DIR}/web
          ${CMAKE_BINARY_DIR}/web-e2e)
set_tests_properties(web_e2e PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
