# Unity builds: each target's C++ files compiled a batch at a time, so that the headers they
# share (GoogleTest, Qt, the standard library) are parsed once per batch rather than once per
# file. The batches are written here rather than by CMake's own unity build, whose batch files
# include each file by its absolute path: that path then shows in __FILE__ (every GoogleTest
# check uses it), so that a clean clone in another folder misses the compiler cache. Here a batch
# includes its files by their paths below the source folder, found through the include path, and
# ccache makes that include path relative (CCACHE_BASEDIR).
#
# A file with compile options, definitions or include folders of its own is compiled alone, as are
# a file that several targets compile, a file marked SKIP_UNITY_BUILD_INCLUSION (an object of a
# static library that a program must be able to leave out) and a target with a single file.
option(LORVANTE_UNITY "Compile each target's sources in batches (unity build)" ON)
set(LORVANTE_UNITY_BATCH_SIZE 8 CACHE STRING "Sources per batch of a unity build")

# The targets defined in `directory` and below it, into `out`.
function(lorvante_targets_below directory out)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    lorvante_targets_below(${subdirectory} below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The absolute paths of the sources of `target`, into `out`.
function(lorvante_absolute_sources target out)
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  set(paths "")
  foreach(source IN LISTS sources)
    if(NOT source MATCHES "\\$<")
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${source_dir}" NORMALIZE
                 OUTPUT_VARIABLE absolute)
      list(APPEND paths "${absolute}")
    endif()
  endforeach()
  set(${out} ${paths} PARENT_SCOPE)
endfunction()

# Whether `absolute`, a source of `target`, may share a batch: a C++ file of the source folder
# that no other target compiles, with no compile settings of its own.
function(lorvante_unity_eligible target absolute shared out)
  set(${out} FALSE PARENT_SCOPE)
  if(NOT absolute MATCHES "\\.cpp$" OR absolute IN_LIST shared)
    return()
  endif()
  cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${absolute}" NORMALIZE inside)
  cmake_path(IS_PREFIX PROJECT_BINARY_DIR "${absolute}" NORMALIZE built)
  if(NOT inside OR built)
    return()
  endif()
  foreach(property COMPILE_OPTIONS COMPILE_DEFINITIONS COMPILE_FLAGS INCLUDE_DIRECTORIES
                   HEADER_FILE_ONLY GENERATED SKIP_UNITY_BUILD_INCLUSION)
    get_source_file_property(value "${absolute}" TARGET_DIRECTORY ${target} ${property})
    if(value)
      return()
    endif()
  endforeach()
  set(${out} TRUE PARENT_SCOPE)
endfunction()

function(lorvante_unity_target target shared)
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY)$")
    return()
  endif()
  lorvante_absolute_sources(${target} sources)
  set(eligible "")
  foreach(absolute IN LISTS sources)
    lorvante_unity_eligible(${target} "${absolute}" "${shared}" ok)
    if(ok)
      list(APPEND eligible "${absolute}")
    endif()
  endforeach()
  list(LENGTH eligible count)
  if(count LESS 2)
    return()
  endif()

  # As few batches as the batch size allows, of even sizes (9 files: 5 and 4, not 8 and 1).
  math(EXPR batch_count "(${count} + ${LORVANTE_UNITY_BATCH_SIZE} - 1) / ${LORVANTE_UNITY_BATCH_SIZE}")
  math(EXPR per_batch "(${count} + ${batch_count} - 1) / ${batch_count}")
  set(in_batch 0)
  set(text "")
  set(batches "")
  foreach(absolute IN LISTS eligible)
    cmake_path(RELATIVE_PATH absolute BASE_DIRECTORY "${PROJECT_SOURCE_DIR}"
               OUTPUT_VARIABLE relative)
    string(APPEND text "#include \"${relative}\"\n")
    set_source_files_properties("${absolute}" TARGET_DIRECTORY ${target}
                                PROPERTIES HEADER_FILE_ONLY ON)
    math(EXPR in_batch "${in_batch} + 1")
    if(in_batch EQUAL per_batch)
      list(APPEND batches "${text}")
      set(text "")
      set(in_batch 0)
    endif()
  endforeach()
  if(NOT text STREQUAL "")
    list(APPEND batches "${text}")
  endif()

  set(index 0)
  foreach(text IN LISTS batches)
    set(file ${PROJECT_BINARY_DIR}/unity/${target}_${index}.cpp)
    # Written only when its text changes, so that a new configure rebuilds nothing.
    file(CONFIGURE OUTPUT ${file} CONTENT "// Generated: a batch of ${target}.\n${text}" @ONLY)
    target_sources(${target} PRIVATE ${file})
    set_property(GLOBAL APPEND PROPERTY LORVANTE_UNITY_FILES ${file})
    math(EXPR index "${index} + 1")
  endforeach()
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

function(lorvante_unity_all)
  lorvante_targets_below(${PROJECT_SOURCE_DIR} targets)
  # The files that more than one target compiles.
  set(seen "")
  set(shared "")
  foreach(target IN LISTS targets)
    lorvante_absolute_sources(${target} sources)
    list(REMOVE_DUPLICATES sources)
    foreach(source IN LISTS sources)
      if(source IN_LIST seen)
        list(APPEND shared "${source}")
      else()
        list(APPEND seen "${source}")
      endif()
    endforeach()
  endforeach()
  foreach(target IN LISTS targets)
    lorvante_unity_target(${target} "${shared}")
  endforeach()
  # The batches of an earlier configure that this one did not write again.
  get_property(written GLOBAL PROPERTY LORVANTE_UNITY_FILES)
  file(GLOB present ${PROJECT_BINARY_DIR}/unity/*.cpp)
  foreach(file IN LISTS present)
    if(NOT file IN_LIST written)
      file(REMOVE ${file})
    endif()
  endforeach()
endfunction()

# Once every directory has defined its targets.
if(LORVANTE_UNITY)
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL lorvante_unity_all)
endif()
