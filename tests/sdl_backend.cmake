# Unit tests of the SDL backend (keys, command line, scaling), in their own binary
# since they link SDL.
if(TARGET starvane_sdl)
  set(STARVANE_SDL_TEST_SOURCES sdl/command_line_test.cpp sdl/monitor_layout_test.cpp sdl/sdl_keys_test.cpp)
  add_executable(starvane-sdl-tests ${STARVANE_SDL_TEST_SOURCES})
  target_link_libraries(starvane-sdl-tests PRIVATE starvane_sdl GTest::gtest GTest::gtest_main)
  gtest_discover_tests(starvane-sdl-tests DISCOVERY_TIMEOUT 60)
endif()
