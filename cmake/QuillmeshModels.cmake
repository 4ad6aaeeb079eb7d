# quillmesh_add_models(<target> [SCALE <factor>] [TILE] [NAME_PREFIX <prefix>]
#                      [NAME <name>] [HEADERS] [DRAW_LIST]
#                      [OPTIONS <flag>...] FILES <object.lwo>...)
#
# Converts each LightWave object into C source at build time and adds the
# generated files to <target>'s sources. For an object models/crate.lwo the
# file is ${CMAKE_CURRENT_BINARY_DIR}/quillmesh/<name>.c and its StaticMesh
# record is called <name>: NAME_PREFIX followed by the file name without its
# last extension, made into a C identifier (characters that cannot be in one
# become "_", and a "_" goes before a leading digit).
#
#   SCALE <factor>  multiply every coordinate by <factor> (quillmesh -s)
#   TILE            split layers whose texture does not fit texture memory
#                   into one layer per polygon (quillmesh -t)
#   NAME_PREFIX     put in front of every record name, e.g. "model_"
#   NAME            the record's name itself, a C identifier, for a call with
#                   one file (NAME_PREFIX is not added)
#   HEADERS         also write <name>.h beside each C file (quillmesh -H),
#                   declaring the record (and with DRAW_LIST its draw list);
#                   the folder is put on <target>'s include path, so the
#                   game writes #include "<name>.h"
#   DRAW_LIST       add Gfx <name>_draw[], which draws the whole object with
#                   one gSPDisplayList (quillmesh -g)
#   OPTIONS         more command-line options for every conversion of this
#                   call, e.g. OPTIONS -k -b -c 16 (not -o, -n, -d or -H,
#                   which the function gives)
#
# Relative object paths are taken from the current source directory. An
# object is converted again when it, one of its texture images or the
# program changes: quillmesh writes the images it looked for into a
# dependency file (-d), which Ninja and Makefile generators read. Under
# Makefile generators each conversion goes through QuillmeshConvert.cmake,
# which skips it when its output is already up to date, so that an object
# whose texture image was deleted is converted once, not twice a build.
#
# Call it in the directory that creates <target>. The generated files include
# "myheader.h": the target must have the game's header on its include path,
# and the project must enable the C language.

include_guard(GLOBAL)

set(_quillmesh_convert_script ${CMAKE_CURRENT_LIST_DIR}/QuillmeshConvert.cmake)

# Depfile paths relative to the current binary directory, absolute paths kept
# (Ninja gets them rewritten to match its own output names). The function
# records this policy setting when it is defined, so it holds in every caller.
cmake_policy(PUSH)
cmake_policy(SET CMP0116 NEW)

function(quillmesh_add_models target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "TILE;HEADERS;DRAW_LIST" "SCALE;NAME_PREFIX;NAME" "FILES;OPTIONS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "quillmesh_add_models: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(arg_KEYWORDS_MISSING_VALUES)
    message(FATAL_ERROR "quillmesh_add_models: no value given for ${arg_KEYWORDS_MISSING_VALUES}")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "quillmesh_add_models: '${target}' is not a target")
  endif()
  # A custom command reaches only the targets of its own directory.
  get_target_property(target_dir ${target} SOURCE_DIR)
  if(NOT target_dir STREQUAL CMAKE_CURRENT_SOURCE_DIR)
    message(FATAL_ERROR "quillmesh_add_models: call it in the directory that made '${target}' "
      "(${target_dir})")
  endif()
  if(NOT arg_FILES)
    message(FATAL_ERROR "quillmesh_add_models: no FILES given for '${target}'")
  endif()
  if(NOT TARGET quillmesh::quillmesh)
    message(FATAL_ERROR "quillmesh_add_models: the program quillmesh::quillmesh is not imported; "
      "call find_package(quillmesh) first")
  endif()
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT "C" IN_LIST languages)
    message(FATAL_ERROR "quillmesh_add_models: quillmesh writes C source; enable C in project()")
  endif()

  if(DEFINED arg_NAME)
    list(LENGTH arg_FILES file_count)
    if(NOT file_count EQUAL 1)
      message(FATAL_ERROR "quillmesh_add_models: NAME names one record; give one file in FILES")
    endif()
    string(MAKE_C_IDENTIFIER "${arg_NAME}" identifier)
    if(NOT identifier STREQUAL arg_NAME)
      message(FATAL_ERROR "quillmesh_add_models: NAME '${arg_NAME}' is not a C identifier")
    endif()
  endif()

  set(options)
  if(DEFINED arg_SCALE)
    list(APPEND options -s ${arg_SCALE})
  endif()
  if(arg_TILE)
    list(APPEND options -t)
  endif()
  if(arg_DRAW_LIST)
    list(APPEND options -g)
  endif()
  list(APPEND options ${arg_OPTIONS})

  set(output_dir ${CMAKE_CURRENT_BINARY_DIR}/quillmesh)
  file(MAKE_DIRECTORY ${output_dir})
  set(outputs)
  foreach(file IN LISTS arg_FILES)
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE
      OUTPUT_VARIABLE input)
    cmake_path(GET input STEM LAST_ONLY stem)
    string(MAKE_C_IDENTIFIER "${arg_NAME_PREFIX}${stem}" name)
    if(DEFINED arg_NAME)
      set(name ${arg_NAME})
    endif()

    # One record name per directory: the files would overwrite each other,
    # and the game could not link two records of one name.
    get_property(taken DIRECTORY PROPERTY QUILLMESH_MODEL_NAMES)
    if(name IN_LIST taken)
      message(FATAL_ERROR "quillmesh_add_models: ${file} would again make the record '${name}' "
        "in this directory; give the objects different NAME_PREFIXes")
    endif()
    set_property(DIRECTORY APPEND PROPERTY QUILLMESH_MODEL_NAMES ${name})

    set(output ${output_dir}/${name}.c)
    set(depfile ${output_dir}/${name}.c.d)
    set(header_args)
    set(header)
    if(arg_HEADERS)
      set(header ${output_dir}/${name}.h)
      set(header_args -H ${header})
    endif()
    set(launcher)
    if(CMAKE_GENERATOR MATCHES "Makefiles")
      set(launcher ${CMAKE_COMMAND} -DQUILLMESH_OUTPUT=${output} -DQUILLMESH_DEPFILE=${depfile}
        -P ${_quillmesh_convert_script} --)
    endif()
    add_custom_command(
      OUTPUT ${output} ${header}
      COMMAND ${launcher} $<TARGET_FILE:quillmesh::quillmesh> ${input} -o ${output} -n ${name} ${options}
        -d ${depfile} ${header_args}
      DEPENDS ${input} $<TARGET_FILE:quillmesh::quillmesh>
      DEPFILE ${depfile}
      COMMENT "Converting model ${name} from ${file}"
      VERBATIM)
    list(APPEND outputs ${output} ${header})
  endforeach()
  target_sources(${target} PRIVATE ${outputs})
  if(arg_HEADERS)
    target_include_directories(${target} PRIVATE ${output_dir})
  endif()
endfunction()

cmake_policy(POP)
