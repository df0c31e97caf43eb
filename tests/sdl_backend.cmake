# Unit tests of the SDL backend (keys, command line, scaling), in their own binary
# since they link SDL.
if(TARGET starvane_sdl)
  file(GLOB STARVANE_SDL_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/sdl/*.cpp)
  add_executable(starvane-sdl-tests ${STARVANE_SDL_TEST_SOURCES})
  target_link_libraries(starvane-sdl-tests PRIVATE starvane_sdl GTest::gtest GTest::gtest_main)
  gtest_discover_tests(starvane-sdl-tests DISCOVERY_TIMEOUT 60)
endif()
