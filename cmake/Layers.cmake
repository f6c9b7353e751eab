# Every include names its folder ("device/KVZDeviceUn.h"), and each library of the program sees
# the tree through an include root of its own, build/layers/<library>/, which holds links to the
# folders it may use and no others. An include that points up a layer (report/ to dialogs/, or
# device/ to anything of Qt) then fails to compile: the file is not there.
#
#   kvz_layer(kvz_report base report)
function(kvz_layer target)
  set(view ${PROJECT_BINARY_DIR}/layers/${target})
  file(REMOVE_RECURSE ${view})
  foreach(folder IN LISTS ARGN)
    get_filename_component(parent ${view}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${view})
endfunction()

# A window's layout is a Designer form in resources/ (resources/MainUn.ui for app/MainUn.cpp). The
# window class derives from the form's generated class, so its header includes "ui_MainUn.h":
# whoever includes the header needs the generated folder too.
#
#   kvz_window_layouts(kvz_app MainUn)
function(kvz_window_layouts target)
  foreach(form IN LISTS ARGN)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources/${form}.ui)
  endforeach()
  set_target_properties(${target} PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/resources)
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/include)
endfunction()
