# What `cmake --install build --prefix P` installs: the programs and modules
# that ship, the shared libraries they load, and nothing that only tests use.
# Each deliverable finds what it looks for beside itself where it looks:
#
#   P/bin/MorvaneLaunch.exe        the launcher; it starts Morvane.exe, the main
#                                  application, from this folder
#   P/lib/ovix/Vantile.dll         the add-on, with its state pages in static/
#   P/lib/ovix/VantileImportFavorites.ocx   the favorites control
#   P/lib/ovix/lib*.so             the shared libraries that they load
#   P/lib/python3.11/site-packages/_ovix.so, ovix.py
#                                  the module; it loads a chat adapter
#                                  Skype297.dll from this folder
#
# Each program finds its shared libraries through a run path relative to its
# own folder ($ORIGIN). The component "python" holds the module and what it
# loads, and is what `pip install .` installs (pyproject.toml puts the module
# at the top of site-packages and its libraries in ovix.libs/).
include(GNUInstallDirs)

set(OVIX_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/ovix
    CACHE STRING "Folder under the prefix for the add-on, the control and the shared libraries")
set(OVIX_INSTALL_PYTHONDIR
    ${CMAKE_INSTALL_LIBDIR}/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/site-packages
    CACHE STRING "Folder under the prefix for the Python module")

# The shared libraries of the project that `target` links, directly or
# through the libraries it links, into `result`.
function(ovix_linked_shared_libraries target result)
  set(found "")
  set(seen "")
  get_target_property(todo ${target} LINK_LIBRARIES)
  while(todo)
    list(POP_FRONT todo library)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" library "${library}")
    if(NOT TARGET ${library} OR library IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${library})
    get_target_property(imported ${library} IMPORTED)
    if(imported)
      continue()
    endif()
    get_target_property(type ${library} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      list(APPEND found ${library})
    endif()
    get_target_property(links ${library} INTERFACE_LINK_LIBRARIES)
    if(links)
      list(APPEND todo ${links})
    endif()
  endwhile()
  set(${result} ${found} PARENT_SCOPE)
endfunction()

# ovix_install(<target> DESTINATION <folder> [COMPONENT <name>]): installs a
# program or module and, in OVIX_INSTALL_LIBDIR, the shared libraries it
# loads, each library once (in the component of the first deliverable that
# loads it).
function(ovix_install target)
  cmake_parse_arguments(ARG "" "DESTINATION;COMPONENT" "" ${ARGN})
  if(NOT ARG_COMPONENT)
    set(ARG_COMPONENT ${CMAKE_INSTALL_DEFAULT_COMPONENT_NAME})
  endif()
  # Its run path: the folders of system libraries that the build found
  # outside the linker's own (OpenBLAS's), and the project's libraries'
  # folder relative to its own.
  set_target_properties(${target} PROPERTIES INSTALL_RPATH_USE_LINK_PATH ON)
  ovix_linked_shared_libraries(${target} shared)
  if(shared)
    cmake_path(ABSOLUTE_PATH ARG_DESTINATION BASE_DIRECTORY /prefix NORMALIZE OUTPUT_VARIABLE from)
    cmake_path(ABSOLUTE_PATH OVIX_INSTALL_LIBDIR BASE_DIRECTORY /prefix NORMALIZE OUTPUT_VARIABLE to)
    cmake_path(RELATIVE_PATH to BASE_DIRECTORY ${from} OUTPUT_VARIABLE libraries)
    set(rpath "$ORIGIN")
    if(NOT libraries STREQUAL ".")
      string(APPEND rpath "/${libraries}")
    endif()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH ${rpath})
  endif()
  install(TARGETS ${target} DESTINATION ${ARG_DESTINATION} COMPONENT ${ARG_COMPONENT})

  get_property(installed GLOBAL PROPERTY OVIX_INSTALLED_LIBRARIES)
  foreach(library ${shared})
    if(NOT library IN_LIST installed)
      set_property(GLOBAL APPEND PROPERTY OVIX_INSTALLED_LIBRARIES ${library})
      set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
      install(TARGETS ${library} LIBRARY DESTINATION ${OVIX_INSTALL_LIBDIR} COMPONENT ${ARG_COMPONENT})
    endif()
  endforeach()
endfunction()

# The module first, so that its component holds all it loads.
ovix_install(ovix DESTINATION ${OVIX_INSTALL_PYTHONDIR} COMPONENT python)
install(FILES $<TARGET_PROPERTY:ovix,SWIG_SUPPORT_FILES> DESTINATION ${OVIX_INSTALL_PYTHONDIR} COMPONENT python)

ovix_install(morvane_launch DESTINATION ${CMAKE_INSTALL_BINDIR})
ovix_install(vantile DESTINATION ${OVIX_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/addon/static DESTINATION ${OVIX_INSTALL_LIBDIR})
ovix_install(vantile_import_favorites DESTINATION ${OVIX_INSTALL_LIBDIR})
