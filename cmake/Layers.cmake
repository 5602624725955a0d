# The library's layers. Each fh_layer(name PATTERNS... [USES targets...])
# claims the files below the project root that its patterns name and that no
# earlier layer claimed, and makes an object library fh_<name> of its .cc
# files; USES adds libraries that this layer and every later one link.
# fh_layers_done() closes the list.
#
# The order is proven twice, so that a wrong upward dependency fails the
# build:
#   - fh_<name>_alone: the layer's objects linked into a shared library with
#     --no-undefined against the layers below it only, so a call into a
#     higher layer fails to link (FH_LAYER_CHECK; off in sanitizer builds,
#     whose runtime a shared library does not carry);
#   - fh_layer_includes: every #include "..." of a layer's files must name a
#     header of the same or a lower layer (cmake/CheckLayerIncludes.cmake).
#
# FH_TOP_LAYER builds the library up to and including that layer only (a
# prefix of the order, e.g. -DFH_TOP_LAYER=util); tests are not built then.

set(FH_TOP_LAYER "" CACHE STRING "Build the library up to this layer only (empty: every layer)")
if(FH_SANITIZE)
  set(fh_layer_check_default OFF)
else()
  set(fh_layer_check_default ON)
endif()
option(FH_LAYER_CHECK "Link each layer alone against the layers below it" ${fh_layer_check_default})

set(FH_LAYERS_BUILT "")          # the layers made, lowest first
set(FH_LAYER_OBJECTS "")         # $<TARGET_OBJECTS:...> of every layer
set(FH_LAYER_DEPENDENCIES PkgConfig::LIBXML2 Threads::Threads)
set(fh_claimed_files "")
set(fh_layer_map "")             # "<index> <layer> <file>" lines for the include check
set(fh_previous_alone "")
set(fh_layers_stopped OFF)

macro(fh_layer name)
  if(NOT fh_layers_stopped)
    cmake_parse_arguments(fh_arg "" "" "USES" ${ARGN})
    list(APPEND FH_LAYER_DEPENDENCIES ${fh_arg_USES})
    set(fh_files "")
    foreach(pattern ${fh_arg_UNPARSED_ARGUMENTS})
      file(GLOB fh_matched CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${pattern})
      list(APPEND fh_files ${fh_matched})
    endforeach()
    list(REMOVE_DUPLICATES fh_files)
    list(REMOVE_ITEM fh_files ${PROJECT_SOURCE_DIR}/src/tool/main.cc)
    foreach(file ${fh_claimed_files})
      list(REMOVE_ITEM fh_files ${file})
    endforeach()
    list(APPEND fh_claimed_files ${fh_files})
    list(LENGTH FH_LAYERS_BUILT fh_index)
    foreach(file ${fh_files})
      string(APPEND fh_layer_map "${fh_index} ${name} ${file}\n")
    endforeach()

    set(fh_sources ${fh_files})
    list(FILTER fh_sources INCLUDE REGEX "\\.cc$")
    if(fh_sources)
      add_library(fh_${name} OBJECT ${fh_sources})
      set_target_properties(fh_${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
      target_include_directories(fh_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
      target_link_libraries(fh_${name} PUBLIC ${FH_LAYER_DEPENDENCIES})
      list(APPEND FH_LAYER_OBJECTS $<TARGET_OBJECTS:fh_${name}>)
      if(FH_LAYER_CHECK)
        add_library(fh_${name}_alone SHARED $<TARGET_OBJECTS:fh_${name}>)
        target_link_libraries(fh_${name}_alone PUBLIC ${fh_previous_alone} ${FH_LAYER_DEPENDENCIES})
        target_link_options(fh_${name}_alone PRIVATE -Wl,--no-undefined)
        set(fh_previous_alone fh_${name}_alone)
      endif()
    endif()
    list(APPEND FH_LAYERS_BUILT ${name})
    if(FH_TOP_LAYER STREQUAL "${name}")
      set(fh_layers_stopped ON)
    endif()
  endif()
endmacro()

function(fh_layers_done)
  if(FH_TOP_LAYER AND NOT FH_TOP_LAYER IN_LIST FH_LAYERS_BUILT)
    message(FATAL_ERROR "FH_TOP_LAYER '${FH_TOP_LAYER}' is not a layer: ${FH_LAYERS_BUILT}")
  endif()
  if(NOT FH_TOP_LAYER)
    # Every source and header belongs to a layer.
    file(GLOB_RECURSE all_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.h
      ${PROJECT_SOURCE_DIR}/src/*.cc)
    list(REMOVE_ITEM all_files ${PROJECT_SOURCE_DIR}/src/tool/main.cc)
    foreach(file ${fh_claimed_files})
      list(REMOVE_ITEM all_files ${file})
    endforeach()
    if(all_files)
      message(FATAL_ERROR "Files in no layer (add them to an fh_layer in CMakeLists.txt): ${all_files}")
    endif()
  endif()
  set(map ${PROJECT_BINARY_DIR}/layers.txt)
  file(WRITE ${map} "${fh_layer_map}")
  add_custom_target(fh_layer_includes ALL
    COMMAND ${CMAKE_COMMAND} -DFH_LAYER_MAP=${map} -DFH_SOURCE_ROOT=${PROJECT_SOURCE_DIR}/src
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake
    COMMENT "Checking that every include points down the layers"
    VERBATIM)
endfunction()
