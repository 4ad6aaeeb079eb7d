# Installs quillmesh into a scratch prefix, builds a copy of the example game
# against it with Ninja, then changes one texture image and checks that the
# next build converts that object again, and only that one.
#
# The copy converts the sample objects as the example does, plus one tiny
# object of the test's own (props/crate.lwo, converted with SCALE and TILE).
# The copy sets CMP0116 to OLD before it finds the package, which must not
# change how the dependency files are read. Its folder name holds a blank,
# which the dependency files must escape.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

if(NOT NINJA)
  skip("ninja is not installed")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(source "${WORK_DIR}/game source")
set(build ${WORK_DIR}/build)

install_build_tree(${prefix})
expect_files(${prefix} ${INSTALLED_FILES})

# The example with the samples it converts, and the test's crate, whose clip
# names its image with a folder that the converter drops.
file(COPY ${SOURCE_DIR}/examples DESTINATION ${source})
file(MAKE_DIRECTORY ${source}/examples/game/props)
run(COMMAND ${MAKE_SAMPLE} object ${source}/examples/game/props/crate.lwo textures/crate.png)
run(COMMAND ${MAKE_SAMPLE} image ${source}/examples/game/props/crate.png 204060)

# Until the program knows -d the build cannot track texture images.
execute_process(COMMAND ${prefix}/${BINDIR}/quillmesh ${source}/examples/game/props/crate.lwo
    -o ${WORK_DIR}/probe.c -d ${WORK_DIR}/probe.c.d
  OUTPUT_VARIABLE probe ERROR_VARIABLE probe)
if(probe MATCHES "Unrecognized option: 'd'")
  skip("the program does not write dependency files (-d) yet")
endif()

# The game as the example has it, but with CMP0116 at OLD where it finds the
# package, and one more object.
file(READ ${source}/examples/game/CMakeLists.txt game_lists)
if(NOT game_lists MATCHES "\nfind_package[(]quillmesh")
  message(FATAL_ERROR "The example game does not call find_package(quillmesh ...)")
endif()
string(REPLACE "\nfind_package(quillmesh" "\ncmake_policy(SET CMP0116 OLD)\nfind_package(quillmesh"
  game_lists "${game_lists}")
string(APPEND game_lists
  "quillmesh_add_models(game NAME_PREFIX test_ SCALE 2 TILE OPTIONS -b -c 16 FILES props/crate.lwo)\n"
  "quillmesh_add_models(game NAME crate HEADERS FILES props/crate.lwo)\n"
  "file(READ \"\${quillmesh_HEADER_DIR}/myheader.h\" installed_header)\n"
  "file(READ myheader.h own_header)\n"
  "if(NOT installed_header STREQUAL own_header)\n"
  "  message(FATAL_ERROR \"quillmesh_HEADER_DIR holds no copy of the reference header\")\n"
  "endif()\n")
file(WRITE ${source}/examples/game/CMakeLists.txt "${game_lists}")

run(COMMAND ${CMAKE_COMMAND} -S ${source}/examples/game -B ${build} -G Ninja
  -DCMAKE_MAKE_PROGRAM=${NINJA} -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix})
file(STRINGS ${build}/CMakeCache.txt found_dir REGEX "^quillmesh_DIR:")
if(NOT found_dir STREQUAL "quillmesh_DIR:PATH=${prefix}/${LIBDIR}/cmake/quillmesh")
  message(FATAL_ERROR "The game found another quillmesh: ${found_dir}")
endif()

# The objects one build converted, from the descriptions Ninja prints.
function(build_game converted_var)
  run(COMMAND ${NINJA} -C ${build} OUTPUT output)
  string(REGEX MATCHALL "Converting model [A-Za-z0-9_]+" converted "${output}")
  list(TRANSFORM converted REPLACE "Converting model " "")
  list(SORT converted)
  set(${converted_var} "${converted}" PARENT_SCOPE)
  set(last_output "${output}" PARENT_SCOPE)
endfunction()

function(expect_converted expected)
  build_game(converted)
  if(NOT converted STREQUAL expected)
    message(FATAL_ERROR "Converted [${converted}], expected [${expected}]:\n${last_output}")
  endif()
endfunction()

# Microseconds since the epoch at the last change of a file.
function(mtime path var)
  file(TIMESTAMP ${path} stamp "%s%f" UTC)
  set(${var} ${stamp} PARENT_SCOPE)
endfunction()

set(box_c ${build}/quillmesh/model_box.c)
set(crate_c ${build}/quillmesh/test_crate.c)

expect_converted("crate;model_box;model_plane;test_crate")
# NAME names the record and its files; HEADERS without DRAW_LIST declares
# the record alone.
file(READ ${build}/quillmesh/crate.c named_text)
file(READ ${build}/quillmesh/crate.h named_header)
if(NOT named_text MATCHES "\nStaticMesh crate = " OR named_text MATCHES "_draw"
    OR NOT named_header MATCHES "\nextern StaticMesh crate;\n" OR named_header MATCHES "_draw")
  message(FATAL_ERROR "NAME crate did not name the record:\n${named_header}\n${named_text}")
endif()
# SCALE, TILE and OPTIONS reach the program: the crate's corners at 10 become
# 20, and its one quad is loaded with one gsSPVertex.
file(READ ${build}/build.ninja build_rules)
if(NOT build_rules MATCHES " -n test_crate -s 2 -t -b -c 16 -d ")
  message(FATAL_ERROR "The crate is not converted with -s 2 -t -b -c 16")
endif()
file(READ ${crate_c} crate_text)
if(NOT crate_text MATCHES "{ { 20, 20, 0 }")
  message(FATAL_ERROR "The crate was not scaled by 2:\n${crate_text}")
endif()
if(NOT crate_text MATCHES "gsSPVertex[(]&vts0[[]0[]], 4, 0[)]")
  message(FATAL_ERROR "The crate was not batched:\n${crate_text}")
endif()
file(READ ${crate_c}.d crate_rule)
if(NOT crate_rule MATCHES "game\\\\ source/examples/game/props/crate[.]png")
  message(FATAL_ERROR "The dependency rule does not name the crate's image:\n${crate_rule}")
endif()
expect_converted("")

# A new colour for the crate, written until its time is after the C file's
# (a fast machine can do both within one tick of the file system clock).
file(READ ${crate_c} crate_text_before)
mtime(${box_c} box_time_before)
mtime(${crate_c} crate_time)
foreach(attempt RANGE 100)
  run(COMMAND ${MAKE_SAMPLE} image ${source}/examples/game/props/crate.png ff8000)
  mtime(${source}/examples/game/props/crate.png image_time)
  if(image_time GREATER crate_time)
    break()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.01)
endforeach()

expect_converted("crate;test_crate")
file(READ ${crate_c} crate_text_after)
if(crate_text_after STREQUAL crate_text_before)
  message(FATAL_ERROR "The crate was converted again, but its text did not change")
endif()
mtime(${box_c} box_time_after)
if(NOT box_time_after STREQUAL box_time_before)
  message(FATAL_ERROR "model_box.c was written again")
endif()
expect_converted("")

run(COMMAND ${build}/game OUTPUT game_output)
if(NOT game_output MATCHES "^model_box: 1 layers [(]0 tiles[)], 24 vertices, 12 triangles, 1 materials, 1 textures\n  texture 0: 32 x 32 CI4\nmodel_plane: 4 layers [(]4 tiles[)], [0-9]+ vertices, 8 triangles, 1 materials, 1 textures\n  texture 0: 64 x 64 RGBA16\nframe: model_box_draw calls 1 layers, model_plane_draw 4\n$")
  message(FATAL_ERROR "The game printed:\n${game_output}")
endif()
