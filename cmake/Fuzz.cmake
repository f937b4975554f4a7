# The fuzz targets (OVIX_FUZZ): libFuzzer programs built with clang beside the
# g++ build. Each source is compiled again, instrumented, into an object of
# the calling folder's own, which the folder's targets share. ctest runs every
# target for a minute on inputs of at most 4 KiB and fails any single
# allocation of 1 MiB or more; new inputs go to the build's corpus, the seeds
# stay as they are. The sanitizer build leaves the runs to the normal one.
find_program(OVIX_CLANGXX NAMES clang++ clang++-14 REQUIRED)

# ovix_add_fuzzer(<name> SOURCES ... INCLUDE_ROOTS <library>... [LIBS <link flags>...]
#                 DICT <file> SEEDS <folder>): the program <name>er and the test <name>.
function(ovix_add_fuzzer name)
  cmake_parse_arguments(ARG "" "DICT;SEEDS" "SOURCES;INCLUDE_ROOTS;LIBS" ${ARGN})
  set(flags -std=c++20 -g -O1 ${OVIX_WARNING_FLAGS} -fsanitize=address,undefined -fno-sanitize-recover=undefined)
  if(CMAKE_COMPILE_WARNING_AS_ERROR)
    list(APPEND flags -Werror)
  endif()
  set(includes "")
  foreach(root ${ARG_INCLUDE_ROOTS})
    list(APPEND includes -I${PROJECT_BINARY_DIR}/include/${root})
  endforeach()

  get_property(made DIRECTORY PROPERTY OVIX_FUZZ_OBJECTS)
  set(objects "")
  foreach(source ${ARG_SOURCES})
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${source})
    set(object ${CMAKE_CURRENT_BINARY_DIR}/objects/${relative}.o)
    list(APPEND objects ${object})
    if(NOT object IN_LIST made)
      list(APPEND made ${object})
      add_custom_command(
        OUTPUT ${object}
        COMMAND ${OVIX_CLANGXX} ${flags} -fsanitize=fuzzer-no-link ${includes} -MD -MF ${object}.d
                -c ${source} -o ${object}
        DEPENDS ${source}
        DEPFILE ${object}.d
        COMMENT "Compiling ${relative} with clang for the fuzz targets"
        VERBATIM)
    endif()
  endforeach()
  set_property(DIRECTORY PROPERTY OVIX_FUZZ_OBJECTS ${made})

  set(fuzzer ${CMAKE_CURRENT_BINARY_DIR}/${name}er)
  add_custom_command(
    OUTPUT ${fuzzer}
    COMMAND ${OVIX_CLANGXX} ${flags} -fsanitize=fuzzer ${objects} ${ARG_LIBS} -o ${fuzzer}
    DEPENDS ${objects}
    COMMENT "Linking the fuzz target ${name}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${fuzzer})

  if(NOT OVIX_SANITIZE)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${name}
             COMMAND ${fuzzer} -max_total_time=60 -max_len=4096 -malloc_limit_mb=1 -rss_limit_mb=1024
                     -close_fd_mask=2 -dict=${ARG_DICT} ${corpus} ${ARG_SEEDS})
    set_tests_properties(${name} PROPERTIES TIMEOUT 240)
  endif()
endfunction()
