# The tree's own C++ sources, relative to SOURCE_DIR, for the checks that read them. The build
# folders hold generated files and links into the tree: left out.
function(kvz_tree_sources out)
  file(GLOB folders LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
  list(FILTER folders EXCLUDE REGEX "^(build|\\.)")
  set(sources)
  foreach(folder IN LISTS folders)
    file(GLOB_RECURSE more LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR}
         ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.h.in)
    list(APPEND sources ${more})
  endforeach()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
