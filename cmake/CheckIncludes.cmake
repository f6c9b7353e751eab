# Fails on an include that climbs out of its folder ("../device/Frames.h"): such a path reaches a
# layer whether or not the library links it, past the include roots that keep the arrows.
#
#   cmake -DSOURCE_DIR=<tree> -P cmake/CheckIncludes.cmake
include(${CMAKE_CURRENT_LIST_DIR}/TreeSources.cmake)
kvz_tree_sources(sources)
set(found)
foreach(source IN LISTS sources)
  file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]\\.\\./")
  foreach(line IN LISTS lines)
    list(APPEND found "${source}: ${line}")
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n" found)
  message(FATAL_ERROR "Includes that climb out of their folder:\n${found}")
endif()
