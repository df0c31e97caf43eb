# The replay harness cross-built for Windows (into the Windows end-to-end
# tests' build, build/win/build) against the native one under Wine: every
# committed replay script prints the same bytes on stdout and stderr and ends
# with the same status; one script also goes through standard input. The
# fixture starts one wineserver for all of them (tests/win32/replay_wine.sh).
set(STARVANE_WINE_REPLAY_DIR ${CMAKE_CURRENT_BINARY_DIR}/replay-wine)
set(replay_wine_sh ${CMAKE_CURRENT_LIST_DIR}/win32/replay_wine.sh)

add_test(NAME replay_wine_setup
  COMMAND bash ${replay_wine_sh} setup ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/win/build ${STARVANE_WINE_REPLAY_DIR})
set_tests_properties(replay_wine_setup PROPERTIES FIXTURES_SETUP replay_wine SKIP_RETURN_CODE 77 TIMEOUT 900)
add_test(NAME replay_wine_cleanup COMMAND bash ${replay_wine_sh} cleanup ${STARVANE_WINE_REPLAY_DIR})
set_tests_properties(replay_wine_cleanup PROPERTIES FIXTURES_CLEANUP replay_wine)

file(GLOB STARVANE_WINE_REPLAY_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/replay/*.script)
foreach(script ${STARVANE_WINE_REPLAY_SCRIPTS} stdin)
  if(script STREQUAL stdin)
    set(name stdin)
    set(command ${CMAKE_CURRENT_SOURCE_DIR}/replay/second-start.script ${STARVANE_WINE_REPLAY_DIR} stdin)
  else()
    get_filename_component(name ${script} NAME_WE)
    set(command ${script} ${STARVANE_WINE_REPLAY_DIR})
  endif()
  add_test(NAME replay_wine.${name} COMMAND bash ${replay_wine_sh} run $<TARGET_FILE:starvane-replay> ${command})
  set_tests_properties(replay_wine.${name} PROPERTIES FIXTURES_REQUIRED replay_wine SKIP_RETURN_CODE 77 TIMEOUT 120)
endforeach()
