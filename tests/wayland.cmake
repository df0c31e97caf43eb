# The Wayland layer surfaces: unit tests of their key mapping and buffer
# bookkeeping, and the end-to-end test under a headless sway
# (tests/wayland_e2e.sh) with a small client that clicks through a virtual
# pointer (tests/wayland/wayland_click.c).
if(TARGET starvane_wayland_parts)
  add_executable(starvane-wayland-tests ${CMAKE_CURRENT_LIST_DIR}/wayland/wayland_keys_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wayland/shm_buffers_test.cpp)
  target_link_libraries(starvane-wayland-tests PRIVATE starvane_wayland_parts GTest::gtest GTest::gtest_main)
  gtest_discover_tests(starvane-wayland-tests DISCOVERY_TIMEOUT 60)
endif()

if(TARGET starvane AND TARGET starvane_wayland)
  set(glue ${CMAKE_CURRENT_BINARY_DIR}/wayland-glue)
  set(xml ${CMAKE_CURRENT_LIST_DIR}/wayland/wlr-virtual-pointer-unstable-v1.xml)
  add_custom_command(OUTPUT ${glue}/wlr-virtual-pointer-unstable-v1-client-protocol.h
      ${glue}/wlr-virtual-pointer-unstable-v1-protocol.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${glue}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${glue}/wlr-virtual-pointer-unstable-v1-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${glue}/wlr-virtual-pointer-unstable-v1-protocol.c
    DEPENDS ${xml} VERBATIM)
  add_executable(wayland-click ${CMAKE_CURRENT_LIST_DIR}/wayland/wayland_click.c
    ${glue}/wlr-virtual-pointer-unstable-v1-protocol.c)
  target_include_directories(wayland-click PRIVATE ${glue})
  target_link_libraries(wayland-click PRIVATE PkgConfig::WAYLAND_CLIENT)
  add_test(NAME wayland_e2e
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/wayland_e2e.sh $<TARGET_FILE:starvane> $<TARGET_FILE:wayland-click>
      ${CMAKE_BINARY_DIR}/wayland-e2e)
  set_tests_properties(wayland_e2e PROPERTIES TIMEOUT 150 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
else()
  starvane_missing_test(wayland_e2e "wayland-client, xkbcommon and wayland-protocols (libwayland-dev, libxkbcommon-dev, wayland-protocols)")
endif()
