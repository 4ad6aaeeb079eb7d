# Regenerates the samples into WORK and compares them with the committed ones
# in EXAMPLES: the same files (objects and images), byte for byte.
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${SAMPLEGEN}" examples "${WORK}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "quillmesh_samplegen examples failed: ${status}")
endif()

file(GLOB_RECURSE generated RELATIVE "${WORK}" "${WORK}/*")
file(GLOB_RECURSE committed RELATIVE "${EXAMPLES}" "${EXAMPLES}/*.lwo" "${EXAMPLES}/*.png")
list(SORT generated)
list(SORT committed)
if(NOT generated STREQUAL committed)
  message(FATAL_ERROR "Sample files differ.\n generated: ${generated}\n committed: ${committed}\n"
                      "Regenerate with: quillmesh_samplegen examples examples")
endif()

foreach(name IN LISTS generated)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK}/${name}" "${EXAMPLES}/${name}"
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "examples/${name} is not what the generator writes; "
                        "regenerate with: quillmesh_samplegen examples examples")
  endif()
endforeach()
list(LENGTH generated count)
message(STATUS "${count} sample files match")
