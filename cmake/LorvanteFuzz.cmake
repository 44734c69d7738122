# libFuzzer targets: off by default, clang only, in a build tree of their own:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DLORVANTE_FUZZ=ON -DLORVANTE_TESTS=OFF
#   ninja -C build-fuzz <target>
#   build-fuzz/bin/<target> -max_total_time=300 [corpus folder]
# With LORVANTE_FUZZ every target of the project is built with AddressSanitizer and
# UndefinedBehaviorSanitizer (as LORVANTE_SANITIZE) and instrumented for coverage, so that each
# fuzzer is guided by the code under test in whichever library it lies. Adding a fuzz target is
# one call next to the code it drives, its source in a fuzz/ folder there:
#   lorvante_fuzzer(name SOURCES fuzz/file.cpp ... LIBS library ... [DICT format] [MAX_LEN bytes])
# DICT names a dictionary of fuzz/dict/ (<format>.dict); MAX_LEN is the largest input the
# fuzzer makes (libFuzzer's own default when left out).
#
# Every call is recorded, one line per target ("name<TAB>max_len<TAB>dictionary", 0 and empty when
# not given), in
# <build>/fuzz_targets.tsv: scripts/test runs the targets it lists, from the seeds in
# fuzz/seeds/<name>/. Without LORVANTE_FUZZ (and with the tests) each target is instead built
# as a replay program, <build>/fuzz-replay/<name>, that runs its fuzz function once on each file
# it is given: the findings of fuzz/findings/<name>/ are replayed by the normal test suite.
option(LORVANTE_FUZZ "Build the libFuzzer targets (clang only), with ASan and UBSan" OFF)
if(LORVANTE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "LORVANTE_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

set(LORVANTE_FUZZ_RECORD ${PROJECT_BINARY_DIR}/fuzz_targets.tsv)
# A libFuzzer program given files runs them once each, as a replay program does.
if(LORVANTE_FUZZ)
  set(LORVANTE_FUZZ_REPLAY_DIR ${PROJECT_BINARY_DIR}/bin)
else()
  set(LORVANTE_FUZZ_REPLAY_DIR ${PROJECT_BINARY_DIR}/fuzz-replay)
endif()

# Writes the record once every directory has made its calls.
function(lorvante_write_fuzz_record)
  get_property(lines GLOBAL PROPERTY LORVANTE_FUZZ_TARGETS)
  list(JOIN lines "\n" text)
  file(CONFIGURE OUTPUT ${LORVANTE_FUZZ_RECORD} CONTENT "${text}\n" @ONLY)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL lorvante_write_fuzz_record)

function(lorvante_fuzzer name)
  cmake_parse_arguments(F "" "DICT;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  if(NOT F_MAX_LEN)
    set(F_MAX_LEN 0)
  endif()
  set(dictionary "")
  if(F_DICT)
    set(dictionary ${PROJECT_SOURCE_DIR}/fuzz/dict/${F_DICT}.dict)
    if(NOT EXISTS ${dictionary})
      message(FATAL_ERROR "lorvante_fuzzer(${name}): no dictionary ${dictionary}")
    endif()
  endif()
  set_property(GLOBAL APPEND PROPERTY LORVANTE_FUZZ_TARGETS
               "${name}\t${F_MAX_LEN}\t${dictionary}")
  if(LORVANTE_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  elseif(LORVANTE_TESTS)
    # The main of every replay program, compiled once for all of them.
    if(NOT TARGET lorvante_fuzz_replay_main)
      add_library(lorvante_fuzz_replay_main STATIC ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    endif()
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS} lorvante_fuzz_replay_main)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LORVANTE_FUZZ_REPLAY_DIR})
  endif()
endfunction()
