# Fails on an include that climbs out of its folder ("../device/Frames.h"): such a path reaches a
# layer whether or not the library links it, past the include roots that keep the arrows.
#
#   cmake -DSOURCE_DIR=<tree> -P cmake/CheckIncludes.cmake
# The build folders hold generated files and links into the tree: left out.
file(GLOB folders LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
list(FILTER folders EXCLUDE REGEX "^(build|\\.)")
set(sources)
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE more LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.h.in)
  list(APPEND sources ${more})
endforeach()
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
