# Compiler warnings and the sanitizer build, applied to every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wformat=2)

include(${CMAKE_CURRENT_LIST_DIR}/LorvanteFuzz.cmake)

option(LORVANTE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(LORVANTE_SANITIZE OR LORVANTE_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# ccache, when installed, shortens rebuilds (several work trees share its cache).
find_program(LORVANTE_CCACHE ccache)
if(LORVANTE_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER ${LORVANTE_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${LORVANTE_CCACHE})
endif()
