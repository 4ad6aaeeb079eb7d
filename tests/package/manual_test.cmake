# The manual page formats without warnings, and the "Manual" section of
# README.md is its current text.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

if(NOT GROFF OR NOT COL)
  skip("groff or col is not installed")
endif()

# The command that README.md names, with warnings on.
execute_process(
  COMMAND ${GROFF} -man -Tascii -rLL=78n -rHY=0 -ww ${SOURCE_DIR}/docs/quillmesh.1
  COMMAND ${COL} -bx
  RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "groff failed (${status}) on docs/quillmesh.1:\n${warnings}")
endif()
# What `cat -s` does: runs of empty lines become one.
string(REGEX REPLACE "\n\n\n+" "\n\n" text "${text}")
string(REGEX REPLACE "^\n+" "\n" text "${text}")

file(READ ${SOURCE_DIR}/README.md readme)
if(NOT readme MATCHES "\n## Manual\n[^`]*```text\n([^`]*)```")
  message(FATAL_ERROR "README.md has no \"## Manual\" section with a ```text block")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL text)
  file(WRITE ${WORK_DIR}/manual.txt "${text}")
  message(FATAL_ERROR "The Manual section of README.md is not the text of docs/quillmesh.1; "
    "regenerate it as its comment says (the current text is in ${WORK_DIR}/manual.txt)")
endif()
