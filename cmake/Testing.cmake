# ovix_add_gtest(<name> SOURCES ... LIBS ... [TIMEOUT seconds]): one
# GoogleTest program whose cases ctest runs one by one, each failed after
# TIMEOUT seconds (300 unless given). Without BUILD_TESTING it is built only when
# asked for by name.
function(ovix_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(BUILD_TESTING)
    add_executable(${name} ${ARG_SOURCES})
  else()
    add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
  endif()
  set_property(GLOBAL APPEND PROPERTY OVIX_TESTS ${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${OVIX_GTEST_SANITIZER_ENV}")
endfunction()

# ovix_add_pytest_cases(<name> <pytest file> <timeout> <environment>): one
# test <name>.<case> per test function or test class at the top level of the
# file, which runs it (pytest's node id <file>::<case>, with all its
# parameters) with the environment given, failed after <timeout> seconds. The
# cases are read from the file's text: the module that they test is not built
# yet.
function(ovix_add_pytest_cases name file timeout environment)
  # An edited file is read again at the next build.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(STRINGS ${file} lines REGEX "^(def test_|class Test)")
  foreach(line ${lines})
    string(REGEX MATCH "^(def|class) ([A-Za-z0-9_]+)" _ "${line}")
    set(case ${name}.${CMAKE_MATCH_2})
    add_test(NAME ${case} COMMAND ${Python3_EXECUTABLE} -m pytest -q -p no:cacheprovider ${file}::${CMAKE_MATCH_2})
    set_tests_properties(${case} PROPERTIES TIMEOUT ${timeout} ENVIRONMENT "${environment}")
  endforeach()
endfunction()

# ovix_add_pytests(<prefix> <test dir> [ENVIRONMENT var=value...]): the cases
# of each test_*.py file of the folder, named <prefix>.<file name>.<case>
# (ovix_add_pytest_cases), run against the module in build/python.
function(ovix_add_pytests prefix dir)
  cmake_parse_arguments(ARG "" "" "ENVIRONMENT" ${ARGN})
  file(GLOB files CONFIGURE_DEPENDS ${dir}/test_*.py)
  foreach(file ${files})
    get_filename_component(stem ${file} NAME_WE)
    ovix_add_pytest_cases(${prefix}.${stem} ${file} 900
      "PYTHONPATH=${OVIX_PYTHON_DIR};PYTHONDONTWRITEBYTECODE=1;${OVIX_PYTHON_SANITIZER_ENV};${ARG_ENVIRONMENT}")
  endforeach()
endfunction()

# ovix_add_peer_test(<name> <program> <variable> <pytest file> LIBS ...
# [ENVIRONMENT var=value...]): results of the code against a Python peer. The
# program tests/<program>.cpp, linked with LIBS, computes; the cases of the
# pytest file tests/<pytest file>, named <name>.<case> (ovix_add_pytest_cases),
# which find the program in <variable>, compare.
function(ovix_add_peer_test name program variable pytest_file)
  cmake_parse_arguments(ARG "" "" "LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${program} tests/${program}.cpp)
  target_link_libraries(${program} PRIVATE ${ARG_LIBS})
  ovix_add_pytest_cases(${name} ${CMAKE_CURRENT_SOURCE_DIR}/tests/${pytest_file} 300
    "${variable}=$<TARGET_FILE:${program}>;PYTHONDONTWRITEBYTECODE=1;${ARG_ENVIRONMENT}")
endfunction()
