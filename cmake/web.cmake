# The WebAssembly build.
#
# Built with Emscripten (emcmake cmake ...): the page in web/ and the replay
# harness starvane-replay.js for node, both for WebAssembly SIMD (see
# STARVANE_WASM_SIMD), and the page's plain fallback.
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
  # The page again without SIMD, for browsers that lack it: built in plain/
  # and put beside the SIMD build in web/ as starvane-plain.js and .wasm,
  # which index.html loads instead.
  if(STARVANE_WASM_SIMD)
    include(ExternalProject)
    set(plain_dir ${CMAKE_BINARY_DIR}/plain)
    set(plain_build ${CMAKE_COMMAND} --build ${plain_dir} --target starvane-web)
    if(CMAKE_GENERATOR MATCHES "Makefiles")
      set(plain_build $(MAKE) starvane-web)  # in this make's job slots
    endif()
    ExternalProject_Add(starvane_web_plain
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${plain_dir}
      CONFIGURE_COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${plain_dir}
        -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
        -DCMAKE_BUILD_TYPE=Release -DSTARVANE_WASM_SIMD=OFF
      BUILD_COMMAND ${plain_build}
      INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different ${plain_dir}/web/starvane-plain.js
        ${plain_dir}/web/starvane-plain.wasm ${CMAKE_BINARY_DIR}/web
      DEPENDS starvane-web
      BUILD_ALWAYS ON)
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
