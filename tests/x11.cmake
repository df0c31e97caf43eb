# The small X client the embedding test draws into (tests/x11/x11_helper.c).
find_package(X11)
if(X11_FOUND AND TARGET starvane)
  add_executable(x11-helper ${CMAKE_CURRENT_LIST_DIR}/x11/x11_helper.c)
  target_link_libraries(x11-helper PRIVATE X11::X11)
endif()
