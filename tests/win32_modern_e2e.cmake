# The scaled presentation of the Windows programs, cross-built and run under
# Wine on a 1920x1080 X server (tests/win32_modern_e2e.sh); skipped when the
# tools are missing. The cross build is shared with win32_e2e.
add_test(NAME win32_modern_e2e
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/win32_modern_e2e.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/win-modern
    ${CMAKE_BINARY_DIR}/win/build)
set_tests_properties(win32_modern_e2e PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 420)
