# libFuzzer targets: off by default, clang only, in a build tree of their own:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DLORVANTE_FUZZ=ON -DLORVANTE_TESTS=OFF
#   ninja -C build-fuzz <target>
#   build-fuzz/bin/<target> -max_total_time=300 [corpus folder]
# With LORVANTE_FUZZ every target of the project is built with AddressSanitizer and
# UndefinedBehaviorSanitizer (as LORVANTE_SANITIZE) and instrumented for coverage, so that each
# fuzzer is guided by the code under test in whichever library it lies. Adding a fuzz target is
# one call next to the code it drives:
#   lorvante_fuzzer(name SOURCES file.cpp ... LIBS library ...)
# The README lists the fuzz targets.
option(LORVANTE_FUZZ "Build the libFuzzer targets (clang only), with ASan and UBSan" OFF)
if(LORVANTE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "LORVANTE_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

function(lorvante_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT LORVANTE_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
