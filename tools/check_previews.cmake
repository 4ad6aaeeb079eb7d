# The README's pictures of the bundled samples, docs/previews/<folder>.png
# (and, for the samples in LIT_SAMPLES, <folder>_lit.png drawn with -l), are
# what `quillmesh -p` draws today. Converts every sample in EXAMPLES with
# the program QUILLMESH into WORK and compares the pictures with those in
# PREVIEWS, byte for byte; with -DUPDATE=ON writes them into PREVIEWS instead:
#
#   cmake -DQUILLMESH=build/quillmesh -DEXAMPLES=examples -DPREVIEWS=docs/previews \
#         -DWORK=build/previews -DUPDATE=ON -P tools/check_previews.cmake
cmake_policy(SET CMP0057 NEW)  # if(IN_LIST)
foreach(path IN ITEMS QUILLMESH EXAMPLES PREVIEWS WORK)
  get_filename_component(${path} "${${path}}" ABSOLUTE)
endforeach()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# The samples also drawn with -l, the same object before and after.
set(LIT_SAMPLES textured_box)
file(GLOB objects RELATIVE "${EXAMPLES}" "${EXAMPLES}/*/*.lwo")
list(SORT objects)
set(stale "")
set(count 0)
foreach(object IN LISTS objects)
  get_filename_component(folder "${object}" DIRECTORY)
  set(names "${folder}")
  if(folder IN_LIST LIT_SAMPLES)
    list(APPEND names "${folder}_lit")
  endif()
  foreach(name IN LISTS names)
    set(picture "${WORK}/${name}.png")
    set(lit "")
    if(name MATCHES "_lit$")
      set(lit "-l")
    endif()
    execute_process(COMMAND "${QUILLMESH}" "${EXAMPLES}/${object}" -o "${WORK}/${name}.c" -p "${picture}" ${lit}
                    RESULT_VARIABLE status OUTPUT_QUIET)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "quillmesh ${object} -p ${lit} failed: ${status}")
    endif()
    math(EXPR count "${count} + 1")
    if(UPDATE)
      file(COPY_FILE "${picture}" "${PREVIEWS}/${name}.png")
      continue()
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${picture}" "${PREVIEWS}/${name}.png"
                    RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
      list(APPEND stale "${name}.png")
    endif()
  endforeach()
endforeach()
if(stale)
  message(FATAL_ERROR "docs/previews: ${stale} not what quillmesh -p draws today; regenerate with\n"
                      "  cmake -DQUILLMESH=build/quillmesh -DEXAMPLES=examples -DPREVIEWS=docs/previews "
                      "-DWORK=build/previews -DUPDATE=ON -P tools/check_previews.cmake")
endif()
if(UPDATE)
  message(STATUS "${count} sample previews written")
else()
  message(STATUS "${count} sample previews match")
endif()
