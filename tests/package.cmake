# The Debian package and the installed files (tests/package.sh); skipped when
# a packaging tool is missing.
if(TARGET starvane AND TARGET starvane-record)
  add_test(NAME package
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION}
            ${CMAKE_BINARY_DIR}/package-test)
  set_tests_properties(package PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180)
else()
  starvane_missing_test(package "the desktop program (SDL2: libsdl2-dev) or the recorder (libpng-dev)")
endif()
