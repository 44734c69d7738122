# Debian's hardening, as dpkg-buildflags gives it with every feature on: _FORTIFY_SOURCE, the
# stack protector, stack clash and control-flow protection, format checks, read-only relocations
# bound at start (relro, bind-now). Only those flags are taken, so that the build type keeps its
# optimisation and debug settings; the sanitizer, fuzz and Debug builds go without them
# (_FORTIFY_SOURCE needs optimisation).
option(LORVANTE_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)
find_program(LORVANTE_DPKG_BUILDFLAGS dpkg-buildflags)
if(LORVANTE_HARDENING AND LORVANTE_DPKG_BUILDFLAGS AND NOT LORVANTE_SANITIZE AND NOT LORVANTE_FUZZ
   AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(lorvante_hardening_pattern
      "^-(D_FORTIFY_SOURCE=|fstack-protector|fstack-clash-protection|fcf-protection|Werror=format-security|Wl,-z,)")
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${LORVANTE_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags INCLUDE REGEX "${lorvante_hardening_pattern}")
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
  endforeach()
endif()
