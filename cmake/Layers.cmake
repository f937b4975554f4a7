# The layers of the build: each library owns its folder, and what includes a
# header of a folder must link that folder's library.

# ovix_library(<name> [SHARED] [SOURCES ...] [LINKS ...] [PRIVATE_LINKS ...]):
# the library of the folder that calls it, a static one or, without sources, an
# interface one. SHARED makes it a shared library instead: one copy per
# process, for the platform state that a host and the modules it loads must
# share (windows, thread queues, menus, the browser host), as a system library
# would be. LINKS are what its headers need too, PRIVATE_LINKS what only its
# sources need. Its include root is a folder of the build that holds only
# a link to this folder, under the folder's own path ("compat/ipc/..."), so its
# headers are found by what links it and by nothing else.
function(ovix_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARG_SOURCES AND ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
    # It exports its own symbols only: the static libraries linked into it
    # stay private, so each module that links them keeps its own copy.
    target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL)
    # The Linux layer's libraries export what their headers mark, in
    # namespace compat; test support marks its own exports.
    if(folder MATCHES "^compat/")
      target_link_options(${name} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/SharedLibrary.map)
      set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/SharedLibrary.map)
    endif()
    set(scope PUBLIC)
  elseif(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  set(root ${PROJECT_BINARY_DIR}/include/${name})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${name} ${scope} ${root})
  target_link_libraries(${name} ${scope} ${ARG_LINKS})
  if(ARG_PRIVATE_LINKS)
    target_link_libraries(${name} PRIVATE ${ARG_PRIVATE_LINKS})
  endif()
  set_property(GLOBAL APPEND PROPERTY OVIX_LIBRARIES "${name} ${folder}")
endfunction()

# ovix_check_layers(): after every folder, writes each target's folder,
# sources and links to layers.txt and adds the test include_layers, which
# fails when a file includes a header of a library that its target does not
# link (scripts/check_layers.py).
function(ovix_check_layers)
  set(lines "")
  get_property(tests GLOBAL PROPERTY OVIX_TESTS)
  foreach(test ${tests})
    string(APPEND lines "test ${test}\n")
  endforeach()
  get_property(libraries GLOBAL PROPERTY OVIX_LIBRARIES)
  foreach(library ${libraries})
    string(APPEND lines "library ${library}\n")
  endforeach()
  set(directories ${PROJECT_SOURCE_DIR})
  while(directories)
    list(POP_FRONT directories directory)
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    list(APPEND directories ${subdirectories})
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${directory})
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "UTILITY")
        continue()
      endif()
      set(links "")
      if(NOT type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(links ${target} LINK_LIBRARIES)
        get_target_property(sources ${target} SOURCES)
        foreach(source ${sources})
          get_filename_component(source ${source} ABSOLUTE BASE_DIR ${directory})
          string(APPEND lines "source ${target} ${source}\n")
        endforeach()
      endif()
      get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
      string(APPEND lines "target ${target} ${folder}\nlinks ${target} ${links}\ninterface ${target} ${interface}\n")
    endforeach()
  endwhile()
  file(WRITE ${PROJECT_BINARY_DIR}/layers.txt "${lines}")
  add_test(NAME include_layers
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/check_layers.py
                   ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/layers.txt)
  add_test(NAME include_layers_self_test
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/check_layers.py --self-test)
endfunction()
