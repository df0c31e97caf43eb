# Runs one replay script through the native harness and the WebAssembly one
# under node; both must print the same bytes on stdout and stderr and end
# with the same status.
foreach(side NATIVE WASM)
  if(side STREQUAL NATIVE)
    set(command ${NATIVE} ${SCRIPT})
  else()
    set(command ${NODE} ${WASM} ${SCRIPT})
  endif()
  execute_process(COMMAND ${command} RESULT_VARIABLE ${side}_status OUTPUT_VARIABLE ${side}_out
    ERROR_VARIABLE ${side}_err)
endforeach()
if(NOT NATIVE_status STREQUAL WASM_status)
  message(FATAL_ERROR "status: native ${NATIVE_status}, wasm ${WASM_status}; wasm stderr: ${WASM_err}")
endif()
if(NOT NATIVE_out STREQUAL WASM_out)
  get_filename_component(name ${SCRIPT} NAME_WE)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}.wasm.out "${WASM_out}")
  message(FATAL_ERROR "stdout differs from the native harness's; wasm output in ${CMAKE_CURRENT_BINARY_DIR}/${name}.wasm.out")
endif()
if(NOT NATIVE_err STREQUAL WASM_err)
  message(FATAL_ERROR "stderr: native '${NATIVE_err}', wasm '${WASM_err}'")
endif()
