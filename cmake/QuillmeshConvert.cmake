# Runs one conversion for quillmesh_add_models under Makefile generators:
#
#   cmake -DQUILLMESH_OUTPUT=<file.c> -DQUILLMESH_DEPFILE=<file.c.d>
#         -P QuillmeshConvert.cmake -- <program> <arguments>...
#
# The "--" keeps cmake from reading the program's options as its own (it
# takes -H for a request for help).
#
# These generators run a custom command whose output is a source once to
# gather dependencies and once to build, and a file that the dependency file
# named but that is gone (a deleted texture image) counts as changed in both,
# and in every later build: the object would be converted twice a build. So
# the conversion is skipped when its output is already newer than the
# program and everything the last dependency file names that is there, and
# nothing it names is missing. (When the header is missing, the generator
# deletes the output first.)

cmake_minimum_required(VERSION 3.25)

# The program and its arguments: what follows the script and "--" on the
# command line.
set(command)
set(after_script FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(k RANGE ${last})
  if(after_script)
    if(NOT command AND CMAKE_ARGV${k} STREQUAL "--")
      continue()
    endif()
    list(APPEND command "${CMAKE_ARGV${k}}")
  elseif(CMAKE_ARGV${k} STREQUAL "-P")
    math(EXPR script "${k} + 1")
    set(skip_to ${script})
  elseif(DEFINED skip_to AND k EQUAL skip_to)
    set(after_script TRUE)
  endif()
endforeach()
list(GET command 0 program)

# The dependencies of the first rule of a Make dependency file, unescaped as
# quillmesh escapes them (GCC's -MD): "\ " a blank, "\#" a '#', "$$" a '$'.
function(read_dependencies depfile out)
  file(READ "${depfile}" text)
  string(FIND "${text}" "\n\n" end)
  if(NOT end EQUAL -1)
    string(SUBSTRING "${text}" 0 ${end} text)
  endif()
  string(REPLACE "\\\n" " " text "${text}")
  string(REPLACE "\\ " "<blank>" text "${text}")
  string(REPLACE "\\#" "#" text "${text}")
  string(REPLACE "$$" "$" text "${text}")
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REGEX REPLACE "[ \t\n]+" ";" words "${text}")
  set(dependencies)
  set(target_seen FALSE)
  foreach(word IN LISTS words)
    if(word STREQUAL "")
      continue()
    endif()
    if(NOT target_seen)
      # The target, up to its colon.
      if(word MATCHES ":$")
        set(target_seen TRUE)
      endif()
      continue()
    endif()
    string(REPLACE "<blank>" " " word "${word}")
    string(REPLACE "<semicolon>" "\\;" word "${word}")
    list(APPEND dependencies "${word}")
  endforeach()
  set(${out} "${dependencies}" PARENT_SCOPE)
endfunction()

set(up_to_date FALSE)
if(EXISTS "${QUILLMESH_OUTPUT}" AND EXISTS "${QUILLMESH_DEPFILE}"
    AND NOT "${program}" IS_NEWER_THAN "${QUILLMESH_OUTPUT}")
  read_dependencies("${QUILLMESH_DEPFILE}" dependencies)
  set(up_to_date TRUE)
  foreach(dependency IN LISTS dependencies)
    if(NOT EXISTS "${dependency}" OR "${dependency}" IS_NEWER_THAN "${QUILLMESH_OUTPUT}")
      set(up_to_date FALSE)
      break()
    endif()
  endforeach()
endif()
if(up_to_date)
  return()
endif()

execute_process(COMMAND ${command} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  # The program has said why; the build must stop.
  message(FATAL_ERROR "quillmesh exited with status ${status}")
endif()
