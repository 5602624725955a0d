# Installs the built project into a fresh prefix below WORK_DIR, configures
# and builds tests/consumer against it, and runs the program; then builds and
# runs it again with the flags the installed fernhall.pc gives pkg-config,
# which must name that prefix. No *_internal.h header may be installed, and
# every header an installed header includes must be installed too.
# cmake -DBUILD_DIR=<project build> -DSOURCE_DIR=<tests/consumer>
#       -DWORK_DIR=<scratch> -DGENERATOR=<generator> -DCXX=<compiler>
#       [-DFLAGS=<compile and link flags, e.g. a sanitizer>] -P run_consumer.cmake
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR CXX)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGV}\n${out}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/root)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
    "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer ${WORK_DIR}/root)

set(prefix ${WORK_DIR}/prefix)
file(GLOB_RECURSE pc_files ${prefix}/*/fernhall.pc)
list(LENGTH pc_files pc_count)
if(NOT pc_count EQUAL 1)
  message(FATAL_ERROR "expected one installed fernhall.pc, found: ${pc_files}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
function(pkg_config out)
  execute_process(COMMAND pkg-config ${ARGN} fernhall RESULT_VARIABLE result
    OUTPUT_VARIABLE text ERROR_VARIABLE error OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "pkg-config ${ARGN} fernhall failed (${result}): ${error}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
pkg_config(pc_prefix --variable=prefix)
if(NOT pc_prefix STREQUAL prefix)
  message(FATAL_ERROR "fernhall.pc names the prefix '${pc_prefix}', installed to '${prefix}'")
endif()
pkg_config(pc_flags --cflags --libs)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra_flags UNIX_COMMAND "${FLAGS}")
run(${CXX} -std=c++20 ${extra_flags} ${SOURCE_DIR}/consumer.cc ${pc_flags}
    -o ${WORK_DIR}/consumer_pc)
pkg_config(pc_libdir --variable=libdir)
set(ENV{LD_LIBRARY_PATH} ${pc_libdir})
file(REMOVE_RECURSE ${WORK_DIR}/root)
file(MAKE_DIRECTORY ${WORK_DIR}/root)
run(${WORK_DIR}/consumer_pc ${WORK_DIR}/root)

pkg_config(include_dir --variable=includedir)
file(GLOB_RECURSE internal RELATIVE ${include_dir} ${include_dir}/*_internal.h)
if(internal)
  message(FATAL_ERROR "internal headers installed: ${internal}")
endif()
file(GLOB_RECURSE headers ${include_dir}/*.h)
foreach(header IN LISTS headers)
  file(STRINGS ${header} includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
    if(NOT EXISTS ${include_dir}/${included})
      message(FATAL_ERROR "${header} includes ${included}, which is not installed")
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
