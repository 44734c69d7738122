# Compiler warnings and the sanitizer build, applied to every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wformat=2)
# A warning fails the build: scripts/build turns this on for every build it makes (and so does the
# test run), so that a new warning cannot pass unnoticed. Off for a build configured by hand, whose
# compiler may know warnings that ours do not.
option(LORVANTE_WERROR "Treat every compiler warning as an error" OFF)
if(LORVANTE_WERROR)
  add_compile_options(-Werror)
endif()

# GCC 12 warns -Wrestrict inside the standard library's string code where a literal and a string
# are joined or assigned ("d" + std::to_string(i), s = "/") and optimisation inlines that code
# (-O3, as a Release build compiles): GCC 12's known false positive; the code is sound. Turned off
# only for GCC 12 and only in the targets where it arises, by this call beside each of them.
function(lorvante_gcc12_string_restrict_false_positive target)
  set(gcc12 "$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_GREATER_EQUAL:$<CXX_COMPILER_VERSION>,12>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>")
  target_compile_options(${target} PRIVATE $<${gcc12}:-Wno-restrict>)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/LorvanteFuzz.cmake)

option(LORVANTE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(LORVANTE_SANITIZE OR LORVANTE_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# ThreadSanitizer, for the threads of the text export and of the unzip library's workers; it
# cannot be combined with the address sanitizer (scripts/build thread makes it in build-tsan/).
option(LORVANTE_TSAN "Build with ThreadSanitizer" OFF)
if(LORVANTE_TSAN)
  if(LORVANTE_SANITIZE OR LORVANTE_FUZZ)
    message(FATAL_ERROR "LORVANTE_TSAN excludes LORVANTE_SANITIZE and LORVANTE_FUZZ")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Unity builds (cmake/LorvanteUnity.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/LorvanteUnity.cmake)

# ccache (installed by scripts/setup) shortens rebuilds. Paths below the source folder are hashed
# relative to it and the working folder is left out of the hash, so that a clean clone in another
# folder (CI) or a second work tree hits the cache made by the first.
find_program(LORVANTE_CCACHE ccache)
if(LORVANTE_CCACHE)
  set(lorvante_launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}
      CCACHE_NOHASHDIR=true ${LORVANTE_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${lorvante_launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${lorvante_launcher})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/LorvanteHardening.cmake)
