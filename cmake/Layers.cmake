# Every include names its folder ("device/KVZDeviceUn.h"). Each library publishes an include root
# of its own, build/layers/<folder>/, holding one link: its folder. Linking a library is then the
# one thing that lets a file include it, and an include that points up a layer (report/ to
# dialogs/, or device/ to anything of Qt) fails to compile: the file is not there.
#
#   kvz_layer(kvz_report report)
function(kvz_layer target folder)
  set(view ${PROJECT_BINARY_DIR}/layers/${folder})
  if(NOT IS_SYMLINK ${view}/${folder})
    file(MAKE_DIRECTORY ${view})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${view})
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
