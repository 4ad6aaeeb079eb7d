# Helpers shared by the package test scripts.

# run(COMMAND <args>... [OUTPUT <var>]): runs the command and fails the test
# when it exits with anything but 0. Standard output and error end up
# together in <var>.
function(run)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "OUTPUT" "COMMAND")
  execute_process(COMMAND ${arg_COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    list(JOIN arg_COMMAND " " command)
    message(FATAL_ERROR "Failed (${status}): ${command}\n${output}")
  endif()
  if(arg_OUTPUT)
    set(${arg_OUTPUT} "${output}" PARENT_SCOPE)
  endif()
endfunction()

# install_build_tree(<prefix>): cmake --install of the build tree into <prefix>.
function(install_build_tree prefix)
  set(config)
  if(CONFIG)
    set(config --config ${CONFIG})
  endif()
  run(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} ${config})
endfunction()

# skip(<reason>): ends the script as a skipped test.
macro(skip reason)
  message(STATUS "SKIPPED: ${reason}")
  return()
endmacro()

# expect_files(<dir> <relative path>...): the files under <dir> are exactly
# these; the configuration name in quillmeshTargets-<config>.cmake is left out.
function(expect_files dir)
  file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${dir} ${dir}/*)
  list(TRANSFORM found REPLACE "quillmeshTargets-[a-z]+[.]cmake$" "quillmeshTargets-<config>.cmake")
  list(SORT found)
  set(expected ${ARGN})
  list(SORT expected)
  if(NOT found STREQUAL expected)
    list(JOIN found "\n  " found_text)
    list(JOIN expected "\n  " expected_text)
    message(FATAL_ERROR "Files in ${dir}:\n  ${found_text}\nexpected:\n  ${expected_text}")
  endif()
endfunction()

# The files the package installs, relative to the installation prefix.
set(INSTALLED_FILES
  ${BINDIR}/quillmesh
  ${MANDIR}/man1/quillmesh.1.gz
  ${DOCDIR}/copyright
  ${DOCDIR}/changelog.gz
  ${LIBDIR}/cmake/quillmesh/quillmeshConfig.cmake
  ${LIBDIR}/cmake/quillmesh/quillmeshConfigVersion.cmake
  ${LIBDIR}/cmake/quillmesh/quillmeshTargets.cmake
  ${LIBDIR}/cmake/quillmesh/quillmeshTargets-<config>.cmake
  ${LIBDIR}/cmake/quillmesh/QuillmeshModels.cmake
  ${LIBDIR}/cmake/quillmesh/QuillmeshConvert.cmake
  ${DATADIR}/quillmesh/myheader.h)

# The banner and the first usage line, printed when no argument is given.
set(BANNER "quillmesh 1.5.0\nUsage: quillmesh inputfile ")
