# The layers of the source tree: what the code of each folder may include. A folder's
# targets see the source tree only through a view of its own (build/layers/<folder>), which
# links the folders it may use, so a wrong-way include fails to build.
#
#   zw_layer_view(<folder>)   creates the view and makes it the only include directory of
#                             the targets defined from here on (until the next call)

set(ZW_LAYER_platform platform)
set(ZW_LAYER_store store)
set(ZW_LAYER_ui ui platform)
set(ZW_LAYER_update update ui store platform)
set(ZW_LAYER_info info ui store platform)
set(ZW_LAYER_notes notes ui store platform)
set(ZW_LAYER_admin admin ui store platform)
set(ZW_LAYER_updater updater update platform)
set(ZW_LAYER_help help)
set(ZW_LAYER_app app notes admin update info ui store platform)
set(ZW_LAYER_publish publish update)

function(zw_layer_view folder)
  if(NOT DEFINED ZW_LAYER_${folder})
    message(FATAL_ERROR "zw_layer_view: no layer for the folder '${folder}'")
  endif()
  set(view ${CMAKE_BINARY_DIR}/layers/${folder})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(seen ${ZW_LAYER_${folder}})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${seen} ${view}/${seen} SYMBOLIC)
  endforeach()
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY INCLUDE_DIRECTORIES ${view})
endfunction()
