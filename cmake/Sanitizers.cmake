# OVIX_SANITIZE builds everything with ASan and UBSan. Undefined behaviour
# aborts the test that reaches it instead of printing and going on.
if(OVIX_SANITIZE)
  set(OVIX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${OVIX_SANITIZER_FLAGS})
  add_link_options(${OVIX_SANITIZER_FLAGS})
  # Under this instrumentation GCC 12 takes the members of the std::function
  # that libstdc++'s <regex> moves for uninitialized (a false warning); the
  # normal build keeps the warning.
  add_compile_options(-Wno-maybe-uninitialized)

  # An instrumented extension module loaded by an uninstrumented interpreter
  # needs the sanitizer runtimes preloaded.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE OVIX_LIBASAN OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libubsan.so
                  OUTPUT_VARIABLE OVIX_LIBUBSAN OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.so
                  OUTPUT_VARIABLE OVIX_LIBSTDCXX OUTPUT_STRIP_TRAILING_WHITESPACE)
  # The interpreter keeps its objects alive at exit, so leak reports about it
  # are noise; leaks of our own code are caught by the C++ tests.
  set(OVIX_PYTHON_SANITIZER_ENV
      "LD_PRELOAD=${OVIX_LIBASAN}:${OVIX_LIBUBSAN}:${OVIX_LIBSTDCXX}"
      "ASAN_OPTIONS=detect_leaks=0"
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endif()

# OVIX_SANITIZE_THREAD builds everything with ThreadSanitizer; a GoogleTest
# program fails when it reports anything.
if(OVIX_SANITIZE_THREAD)
  if(OVIX_SANITIZE)
    message(FATAL_ERROR "OVIX_SANITIZE_THREAD and OVIX_SANITIZE exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  set(OVIX_GTEST_SANITIZER_ENV "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1")
endif()
