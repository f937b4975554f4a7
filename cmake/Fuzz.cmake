# The fuzz targets (OVIX_FUZZ): libFuzzer programs built with clang beside the
# g++ build, from the project's own libraries. Each project library that a
# fuzz target links, directly or not, is compiled again with clang,
# instrumented, into an archive of its own, made once for every target that
# links it. ctest runs every target for a minute on inputs of at most 4 KiB
# and fails any single allocation of 1 MiB or more; new inputs go to the
# build's corpus, the seeds stay as they are. The sanitizer build leaves the
# runs to the normal one.
find_program(OVIX_CLANGXX NAMES clang++ clang++-14 REQUIRED)
set(OVIX_FUZZ_FLAGS -std=c++20 -g -O1 ${OVIX_WARNING_FLAGS} -fsanitize=address,undefined -fno-sanitize-recover=undefined)
if(CMAKE_COMPILE_WARNING_AS_ERROR)
  list(APPEND OVIX_FUZZ_FLAGS -Werror)
endif()

# _ovix_fuzz_links(<libraries var> <flags var> <library>...): the project
# libraries that the libraries are or link, directly or not, each once, and
# the link flags of the outside libraries among them.
function(_ovix_fuzz_links libraries_var flags_var)
  set(libraries "")
  set(flags "")
  set(seen "")
  set(todo ${ARGN})
  while(todo)
    list(POP_FRONT todo item)
    if(item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    if(NOT TARGET ${item})
      if(item MATCHES "::")
        message(FATAL_ERROR "the fuzz targets need ${item} everywhere: import it GLOBAL")
      endif()
      # A path or a flag as it stands; a bare name is a system library's.
      if(item MATCHES "^[-/]")
        list(APPEND flags ${item})
      else()
        list(APPEND flags -l${item})
      endif()
      continue()
    endif()
    get_target_property(imported ${item} IMPORTED)
    get_target_property(type ${item} TYPE)
    if(imported)
      get_target_property(links ${item} INTERFACE_LINK_LIBRARIES)
    elseif(type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links ${item} INTERFACE_LINK_LIBRARIES)
      list(APPEND libraries ${item})
    elseif(type STREQUAL "STATIC_LIBRARY")
      get_target_property(links ${item} LINK_LIBRARIES)
      list(APPEND libraries ${item})
    else()
      message(FATAL_ERROR "a fuzz target links static project libraries only, not ${item} (${type})")
    endif()
    if(links)
      list(APPEND todo ${links})
    endif()
  endwhile()
  set(${libraries_var} ${libraries} PARENT_SCOPE)
  set(${flags_var} ${flags} PARENT_SCOPE)
endfunction()

# _ovix_fuzz_includes(<var> <library>...): the include flags for the headers
# of the libraries and of what they link.
function(_ovix_fuzz_includes var)
  _ovix_fuzz_links(libraries flags ${ARGN})
  set(includes "")
  foreach(library ${libraries})
    list(APPEND includes -I${PROJECT_BINARY_DIR}/include/${library})
  endforeach()
  set(${var} ${includes} PARENT_SCOPE)
endfunction()

# _ovix_fuzz_object(<var> <source> <include flag>...): the instrumented object
# of a source of the project, under fuzz/ in the build.
function(_ovix_fuzz_object var source)
  file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${source})
  set(object ${PROJECT_BINARY_DIR}/fuzz/${relative}.o)
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${OVIX_CLANGXX} ${OVIX_FUZZ_FLAGS} -fsanitize=fuzzer-no-link ${ARGN} -MD -MF ${object}.d
            -c ${source} -o ${object}
    DEPENDS ${source}
    DEPFILE ${object}.d
    COMMENT "Compiling ${relative} with clang for the fuzz targets"
    VERBATIM)
  set(${var} ${object} PARENT_SCOPE)
endfunction()

# _ovix_fuzz_archive(<var> <library>): the instrumented archive of a static
# project library, made by the target <library>_fuzz.
function(_ovix_fuzz_archive var library)
  set(archive ${PROJECT_BINARY_DIR}/fuzz/lib${library}.a)
  set(${var} ${archive} PARENT_SCOPE)
  if(TARGET ${library}_fuzz)
    return()
  endif()
  get_target_property(folder ${library} SOURCE_DIR)
  get_target_property(sources ${library} SOURCES)
  _ovix_fuzz_includes(includes ${library})
  set(objects "")
  foreach(source ${sources})
    if(source MATCHES "\\.cpp$")
      get_filename_component(source ${source} ABSOLUTE BASE_DIR ${folder})
      _ovix_fuzz_object(object ${source} ${includes})
      list(APPEND objects ${object})
    endif()
  endforeach()
  add_custom_command(
    OUTPUT ${archive}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${archive}
    COMMAND ${CMAKE_AR} qcs ${archive} ${objects}
    DEPENDS ${objects}
    COMMENT "Archiving ${library} for the fuzz targets"
    VERBATIM)
  add_custom_target(${library}_fuzz DEPENDS ${archive})
endfunction()

# ovix_add_fuzzer(<name> SOURCES ... LIBRARIES <library>... DICT <file>
#                 SEEDS <folder>): the program <name>er, its sources linked
# with the instrumented libraries, and the test <name>.
function(ovix_add_fuzzer name)
  cmake_parse_arguments(ARG "" "DICT;SEEDS" "SOURCES;LIBRARIES" ${ARGN})
  _ovix_fuzz_links(libraries flags ${ARG_LIBRARIES})
  _ovix_fuzz_includes(includes ${ARG_LIBRARIES})
  set(objects "")
  foreach(source ${ARG_SOURCES})
    _ovix_fuzz_object(object ${source} ${includes})
    list(APPEND objects ${object})
  endforeach()
  set(archives "")
  set(archive_targets "")
  foreach(library ${libraries})
    get_target_property(type ${library} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      _ovix_fuzz_archive(archive ${library})
      list(APPEND archives ${archive})
      list(APPEND archive_targets ${library}_fuzz)
    endif()
  endforeach()

  set(fuzzer ${CMAKE_CURRENT_BINARY_DIR}/${name}er)
  add_custom_command(
    OUTPUT ${fuzzer}
    COMMAND ${OVIX_CLANGXX} ${OVIX_FUZZ_FLAGS} -fsanitize=fuzzer ${objects}
            -Wl,--start-group ${archives} -Wl,--end-group ${flags} -o ${fuzzer}
    DEPENDS ${objects} ${archives}
    COMMENT "Linking the fuzz target ${name}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${fuzzer})
  add_dependencies(${name} ${archive_targets})

  if(NOT OVIX_SANITIZE)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${name}
             COMMAND ${fuzzer} -max_total_time=60 -max_len=4096 -malloc_limit_mb=1 -rss_limit_mb=1024
                     -close_fd_mask=2 -dict=${ARG_DICT} ${corpus} ${ARG_SEEDS})
    set_tests_properties(${name} PROPERTIES TIMEOUT 240)
  endif()
endfunction()
