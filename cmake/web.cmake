# The WebAssembly build.
#
# Built with Emscripten (emcmake cmake ...): the page in web/ and the replay
# harness starvane-replay.js for node.
#
# Built natively with Emscripten installed: the same, as a sub-build in
# build/wasm, so the tests can hold the two harnesses side by side and load
# the page in a browser. STARVANE_WEB=OFF leaves it out.
if(EMSCRIPTEN)
  add_subdirectory(tools)
  # Emscripten's JavaScript tools need Debian's node modules (acorn), which
  # only Debian's own node finds by itself.
  if(EXISTS /usr/share/nodejs/acorn)
    set(node_path /usr/share/nodejs)
    if(DEFINED ENV{NODE_PATH})
      string(APPEND node_path ":$ENV{NODE_PATH}")
    endif()
    set_property(TARGET starvane-replay starvane-web PROPERTY CXX_LINKER_LAUNCHER
      ${CMAKE_COMMAND} -E env NODE_PATH=${node_path})
  endif()
  return()
endif()

find_program(STARVANE_EMCMAKE emcmake)
include(CMakeDependentOption)
cmake_dependent_option(STARVANE_WEB "Build the web page and the node harness with Emscripten" ON
  "STARVANE_EMCMAKE;NOT WIN32;NOT CMAKE_CROSSCOMPILING" OFF)
if(NOT STARVANE_WEB)
  return()
endif()

include(ExternalProject)
set(STARVANE_WASM_DIR ${CMAKE_BINARY_DIR}/wasm)
ExternalProject_Add(starvane_wasm
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${STARVANE_WASM_DIR}
  CONFIGURE_COMMAND ${STARVANE_EMCMAKE} ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${STARVANE_WASM_DIR}
    -DCMAKE_BUILD_TYPE=Release
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON)
