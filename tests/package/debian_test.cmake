# Makes the Debian package with CPack, unpacks it into an empty root and runs
# the program from there.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

if(NOT DPKG_DEB)
  skip("dpkg-deb is not installed")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
set(config)
if(CONFIG)
  set(config -C ${CONFIG})
endif()
run(COMMAND ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake ${config} -B ${WORK_DIR})
file(GLOB packages ${WORK_DIR}/quillmesh_*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "Expected one quillmesh_*.deb in ${WORK_DIR}, found: ${packages}")
endif()

run(COMMAND ${DPKG_DEB} --field ${packages} Package Version Maintainer Depends OUTPUT fields)
foreach(pattern "Package: quillmesh\n" "Version: 1[.]5[.]0\n" "Maintainer: [^\n]+<[^\n]+@[^\n]+>\n"
    "Depends: [^\n]*libstb0")
  if(NOT fields MATCHES "${pattern}")
    message(FATAL_ERROR "The package's control fields do not match '${pattern}':\n${fields}")
  endif()
endforeach()

set(root ${WORK_DIR}/root)
run(COMMAND ${DPKG_DEB} -x ${packages} ${root})
set(expected)
foreach(file IN LISTS INSTALLED_FILES)
  list(APPEND expected usr/${file})
endforeach()
expect_files(${root} ${expected})

file(READ ${root}/usr/${DOCDIR}/copyright copyright)
file(READ ${SOURCE_DIR}/LICENSE license)
if(NOT copyright STREQUAL license)
  message(FATAL_ERROR "The package's copyright file is not the LICENSE")
endif()

# Debian's own check: copyright file, changelog, stripped program, compressed
# manual page, hardening flags and the rest. Errors and warnings fail the test;
# the pedantic and informational tags are printed.
if(LINTIAN)
  run(COMMAND ${LINTIAN} --pedantic --fail-on error,warning ${packages} OUTPUT lintian_output)
  message(STATUS "lintian:\n${lintian_output}")
else()
  message(STATUS "lintian is not installed: the package is not checked by it")
endif()

run(COMMAND ${root}/usr/${BINDIR}/quillmesh OUTPUT banner)
string(FIND "${banner}" "${BANNER}" at)
if(NOT at EQUAL 0)
  message(FATAL_ERROR "The unpacked program printed:\n${banner}")
endif()
