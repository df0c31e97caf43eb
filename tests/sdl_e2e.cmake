# The SDL show end to end under a virtual X server; captures are kept in
# build/sdl-e2e. Alone, since it measures the show in real time.
if(TARGET starvane)
  add_test(NAME sdl_e2e
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/sdl_e2e.sh $<TARGET_FILE:starvane> ${CMAKE_BINARY_DIR}/sdl-e2e)
  set_tests_properties(sdl_e2e PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
else()
  starvane_missing_test(sdl_e2e "SDL2 (libsdl2-dev)")
endif()

# The command line, drawing into other clients' X windows and the root
# window, and the ordinary window (tests/sdl_embed_e2e.sh), with a small X
# client to draw into (tests/x11/x11_helper.c).
find_package(X11)
if(TARGET starvane AND X11_FOUND)
  add_executable(x11-helper ${CMAKE_CURRENT_LIST_DIR}/x11/x11_helper.c)
  target_link_libraries(x11-helper PRIVATE X11::X11)
  add_test(NAME sdl_embed_e2e
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/sdl_embed_e2e.sh $<TARGET_FILE:starvane> $<TARGET_FILE:x11-helper>
      ${CMAKE_BINARY_DIR}/sdl-embed-e2e)
  set_tests_properties(sdl_embed_e2e PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
else()
  starvane_missing_test(sdl_embed_e2e "SDL2 and Xlib (libsdl2-dev, libx11-dev, libxext-dev)")
endif()

# The show run by the XScreenSaver daemon as its screensaver (needs root to
# make the unprivileged user the daemon runs as; skipped otherwise).
if(TARGET starvane)
  add_test(NAME xscreensaver_e2e
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/xscreensaver_e2e.sh $<TARGET_FILE:starvane> ${CMAKE_BINARY_DIR}/xscreensaver-e2e)
  set_tests_properties(xscreensaver_e2e PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endif()

# The screen read back against the show's own picture at three sizes, on
# both present paths, and a covered window presenting nothing
# (tests/present_e2e.sh with tests/x11/present_check.cpp).
if(TARGET starvane_sdl AND X11_FOUND)
  add_executable(present-check ${CMAKE_CURRENT_LIST_DIR}/x11/present_check.cpp)
  target_link_libraries(present-check PRIVATE starvane_sdl X11::X11)
  add_test(NAME present_e2e
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/present_e2e.sh $<TARGET_FILE:present-check> ${CMAKE_BINARY_DIR}/present-e2e)
  set_tests_properties(present_e2e PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endif()
