# Builds a copy of the example game with a cross toolchain file as console
# toolchains write them: package searches confined to the target's root
# (CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY). The game finds the installed
# quillmesh the documented way, with CMAKE_PREFIX_PATH alone, and builds with
# the Unix Makefiles generator; a deleted texture image must not stop make.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

if(NOT MAKE_PROGRAM)
  skip("make is not installed")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(source ${WORK_DIR}/source)
install_build_tree(${prefix})

# The target's root holds nothing; the host compiler stands in for the
# console's, which this test does not need.
file(MAKE_DIRECTORY ${WORK_DIR}/sysroot)
set(toolchain ${WORK_DIR}/console.cmake)
file(WRITE ${toolchain} "\
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR mips)
set(CMAKE_C_COMPILER \"${C_COMPILER}\")
set(CMAKE_FIND_ROOT_PATH \"${WORK_DIR}/sysroot\")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
")

# probe(<find_package arguments> <expected quillmesh_FOUND> <cmake arguments>...)
function(probe find_arguments expected)
  file(REMOVE_RECURSE ${WORK_DIR}/probe ${WORK_DIR}/probe-build)
  file(WRITE ${WORK_DIR}/probe/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.25)
project(probe LANGUAGES NONE)
find_package(quillmesh ${find_arguments})
message(STATUS \"found: \${quillmesh_FOUND}\")
")
  run(COMMAND ${ARGN} ${CMAKE_COMMAND} -S ${WORK_DIR}/probe -B ${WORK_DIR}/probe-build
    -DCMAKE_TOOLCHAIN_FILE=${toolchain} OUTPUT output)
  if(NOT output MATCHES "found: ${expected}\n")
    message(FATAL_ERROR "find_package(quillmesh ${find_arguments}) should give ${expected}:\n${output}")
  endif()
endfunction()

# The toolchain file does confine searches: a plain find_package misses the
# package that CMAKE_PREFIX_PATH points at.
probe("QUIET" 0 ${CMAKE_COMMAND} -E env CMAKE_PREFIX_PATH=${prefix})
# Installed where PATH finds the program, as the .deb installs it in /usr,
# the documented call finds it without CMAKE_PREFIX_PATH.
probe("QUIET NO_CMAKE_FIND_ROOT_PATH" 1 ${CMAKE_COMMAND} -E env PATH=${prefix}/${BINDIR}:$ENV{PATH})

file(COPY ${SOURCE_DIR}/examples DESTINATION ${source})
set(build ${WORK_DIR}/build)
run(COMMAND ${CMAKE_COMMAND} -S ${source}/examples/game -B ${build} -G "Unix Makefiles"
  -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM} -DCMAKE_TOOLCHAIN_FILE=${toolchain} -DCMAKE_PREFIX_PATH=${prefix})
file(STRINGS ${build}/CMakeCache.txt found_dir REGEX "^quillmesh_DIR:")
if(NOT found_dir STREQUAL "quillmesh_DIR:PATH=${prefix}/${LIBDIR}/cmake/quillmesh")
  message(FATAL_ERROR "The game found another quillmesh: ${found_dir}")
endif()

run(COMMAND ${MAKE_PROGRAM} -C ${build} game OUTPUT output)
foreach(name model_box model_plane)
  if(NOT EXISTS ${build}/quillmesh/${name}.c)
    message(FATAL_ERROR "${name}.c was not written:\n${output}")
  endif()
endforeach()

# The box's image goes: make converts the box again, warning, instead of
# stopping with "No rule to make target".
file(REMOVE ${source}/examples/textured_box/box.png)
run(COMMAND ${MAKE_PROGRAM} -C ${build} game OUTPUT output)
if(NOT output MATCHES "Converting model model_box"
    OR NOT output MATCHES "Warning: Couldn't open texture: [^\n]*textured_box/box[.]png")
  message(FATAL_ERROR "make did not convert the box again after its image was deleted:\n${output}")
endif()
# Once: each conversion of the box warns about its image. The generator runs
# the command once to gather dependencies and once to build.
string(REGEX MATCHALL "Couldn't open texture" conversions "${output}")
list(LENGTH conversions count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "make converted the box ${count} times, not once:\n${output}")
endif()
# And not again while the image stays away, nor twice once it is back.
run(COMMAND ${MAKE_PROGRAM} -C ${build} game OUTPUT output)
if(output MATCHES "Couldn't open texture")
  message(FATAL_ERROR "make converted the box again with nothing changed:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
file(COPY ${SOURCE_DIR}/examples/textured_box/box.png DESTINATION ${source}/examples/textured_box)
run(COMMAND ${MAKE_PROGRAM} -C ${build} game OUTPUT output)
file(READ ${build}/quillmesh/model_box.c box_text)
if(box_text MATCHES "TEXTURE_FMT_UNKNOWN")
  message(FATAL_ERROR "make did not convert the box when its image came back:\n${output}")
endif()

# A deleted header is written again, though the C file is up to date.
file(REMOVE ${build}/quillmesh/model_box.h)
run(COMMAND ${MAKE_PROGRAM} -C ${build} game OUTPUT output)
if(NOT EXISTS ${build}/quillmesh/model_box.h)
  message(FATAL_ERROR "make did not write the box's header again after it was deleted:\n${output}")
endif()
