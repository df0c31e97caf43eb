# starvane-replay's read and write failures at the process level.
add_test(NAME replay_io
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/replay_io.sh $<TARGET_FILE:starvane-replay> ${CMAKE_CURRENT_BINARY_DIR}/replay-io)
