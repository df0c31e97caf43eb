# The SDL show end to end under a virtual X server; captures are kept in
# build/sdl-e2e. Alone, since it measures the show in real time.
if(TARGET starvane)
  add_test(NAME sdl_e2e
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/sdl_e2e.sh $<TARGET_FILE:starvane> ${CMAKE_BINARY_DIR}/sdl-e2e)
  set_tests_properties(sdl_e2e PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endif()
