# The recorder binary itself: it starts, prints its help, and refuses bad options.
if(TARGET starvane-record)
  add_test(NAME record.help COMMAND starvane-record --help)
  set_tests_properties(record.help PROPERTIES PASS_REGULAR_EXPRESSION "usage: starvane-record")
  add_test(NAME record.bad_option COMMAND starvane-record --seconds nine)
  set_tests_properties(record.bad_option PROPERTIES WILL_FAIL TRUE)
  add_test(NAME record.still COMMAND starvane-record --seconds 0.5 --seed 1
           --out ${CMAKE_CURRENT_BINARY_DIR}/record-still.png)
endif()
