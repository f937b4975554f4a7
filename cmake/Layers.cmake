# ovix_library(<name> [SOURCES ...] [LINKS ...] [PRIVATE_LINKS ...]): the
# library of the folder that calls it, a static one or, without sources, an
# interface one. LINKS are what its headers need too, PRIVATE_LINKS what only
# its sources need.
function(ovix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${name} ${scope} ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} ${scope} ${ARG_LINKS})
  if(ARG_PRIVATE_LINKS)
    target_link_libraries(${name} PRIVATE ${ARG_PRIVATE_LINKS})
  endif()
endfunction()
