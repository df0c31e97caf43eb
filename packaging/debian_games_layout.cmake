# Run by CPack on the staged Debian package, before it is packed: Debian
# keeps the programs of a package in section games in /usr/games, so they move
# there from usr/bin, and the XScreenSaver hack's link follows them.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(usr ${CPACK_TEMPORARY_DIRECTORY}/usr)
file(MAKE_DIRECTORY ${usr}/games)
foreach(program starvane starvane-record)
  file(RENAME ${usr}/bin/${program} ${usr}/games/${program})
endforeach()
file(GLOB left ${usr}/bin/*)
if(NOT left)
  file(REMOVE_RECURSE ${usr}/bin)
endif()
file(REMOVE ${usr}/libexec/xscreensaver/starvane)
file(CREATE_LINK ../../games/starvane ${usr}/libexec/xscreensaver/starvane SYMBOLIC)
