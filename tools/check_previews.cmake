# The README's pictures of the bundled samples, docs/previews/<folder>.png,
# are what `quillmesh -p` draws today. Converts every sample in EXAMPLES with
# the program QUILLMESH into WORK and compares the pictures with those in
# PREVIEWS, byte for byte; with -DUPDATE=ON writes them into PREVIEWS instead:
#
#   cmake -DQUILLMESH=build/quillmesh -DEXAMPLES=examples -DPREVIEWS=docs/previews \
#         -DWORK=build/previews -DUPDATE=ON -P tools/check_previews.cmake
foreach(path IN ITEMS QUILLMESH EXAMPLES PREVIEWS WORK)
  get_filename_component(${path} "${${path}}" ABSOLUTE)
endforeach()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(GLOB objects RELATIVE "${EXAMPLES}" "${EXAMPLES}/*/*.lwo")
list(SORT objects)
set(stale "")
foreach(object IN LISTS objects)
  get_filename_component(folder "${object}" DIRECTORY)
  set(picture "${WORK}/${folder}.png")
  execute_process(COMMAND "${QUILLMESH}" "${EXAMPLES}/${object}" -o "${WORK}/${folder}.c" -p "${picture}"
                  RESULT_VARIABLE status OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "quillmesh ${object} -p failed: ${status}")
  endif()
  if(UPDATE)
    file(COPY_FILE "${picture}" "${PREVIEWS}/${folder}.png")
    continue()
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${picture}" "${PREVIEWS}/${folder}.png"
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    list(APPEND stale "${folder}.png")
  endif()
endforeach()
if(stale)
  message(FATAL_ERROR "docs/previews: ${stale} not what quillmesh -p draws today; regenerate with\n"
                      "  cmake -DQUILLMESH=build/quillmesh -DEXAMPLES=examples -DPREVIEWS=docs/previews "
                      "-DWORK=build/previews -DUPDATE=ON -P tools/check_previews.cmake")
endif()
list(LENGTH objects count)
if(UPDATE)
  message(STATUS "${count} sample previews written")
else()
  message(STATUS "${count} sample previews match")
endif()
