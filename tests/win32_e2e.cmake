# The Windows program, cross-built and run under Wine in a virtual desktop on
# a private X server (tests/win32_e2e.sh); skipped when the tools are missing.
add_test(NAME win32_e2e
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/win32_e2e.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/win)
set_tests_properties(win32_e2e PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 420)
