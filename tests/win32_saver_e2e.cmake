# The screen saver's modes, cross-built and run under Wine in a virtual
# desktop on a private X server (tests/win32_saver_e2e.sh); skipped when the
# tools are missing. The cross build is shared with win32_e2e.
add_test(NAME win32_saver_e2e
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/win32_saver_e2e.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/win-saver
    ${CMAKE_BINARY_DIR}/win/build)
set_tests_properties(win32_saver_e2e PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 420)
