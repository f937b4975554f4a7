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

# ovix_add_pytests(<prefix> <test dir> [ENVIRONMENT var=value...]): one test
# per test_*.py file of the folder, named <prefix>.<file name>, that runs it
# with pytest against the module in build/python.
function(ovix_add_pytests prefix dir)
  cmake_parse_arguments(ARG "" "" "ENVIRONMENT" ${ARGN})
  file(GLOB files CONFIGURE_DEPENDS ${dir}/test_*.py)
  foreach(file ${files})
    get_filename_component(stem ${file} NAME_WE)
    add_test(NAME ${prefix}.${stem}
             COMMAND ${Python3_EXECUTABLE} -m pytest -q -p no:cacheprovider ${file})
    set_tests_properties(${prefix}.${stem} PROPERTIES
      TIMEOUT 900
      ENVIRONMENT "PYTHONPATH=${OVIX_PYTHON_DIR};PYTHONDONTWRITEBYTECODE=1;${OVIX_PYTHON_SANITIZER_ENV};${ARG_ENVIRONMENT}")
  endforeach()
endfunction()

# ovix_add_peer_test(<name> <program> <variable> <pytest file> LIBS ...
# [ENVIRONMENT var=value...]): results of the code against a Python peer. The
# program tests/<program>.cpp, linked with LIBS, computes; the pytest file
# tests/<pytest file>, which finds the program in <variable>, compares.
function(ovix_add_peer_test name program variable pytest_file)
  cmake_parse_arguments(ARG "" "" "LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${program} tests/${program}.cpp)
  target_link_libraries(${program} PRIVATE ${ARG_LIBS})
  add_test(NAME ${name}
           COMMAND ${Python3_EXECUTABLE} -m pytest -q -p no:cacheprovider
                   ${CMAKE_CURRENT_SOURCE_DIR}/tests/${pytest_file})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT 300
    ENVIRONMENT "${variable}=$<TARGET_FILE:${program}>;PYTHONDONTWRITEBYTECODE=1;${ARG_ENVIRONMENT}")
endfunction()
