# Resources. windres (mingw-w64) compiles a program's .rc for both builds:
# the Windows build links the result into the program as usual; a host build
# compiles it to a .res file and embeds those bytes in the program, where
# winsim reads the binary formats. So both builds carry the same resources.
#
#   qtr_add_resources(<target> RC <file.rc> SYMBOL <name>
#                     [DEPENDS <files the .rc pulls in: icons, manifest>...]
#                     [INCLUDE_DIRS <dirs searched for headers and those files>...])
#
# Host builds: a generated <name>.h (on the target's include path) declares
#   std::span<const unsigned char> <name>();
# which returns the .res bytes. Headers the .rc includes are tracked by
# themselves; files named in resource statements go in DEPENDS.

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  enable_language(RC)
else()
  find_program(QTR_WINDRES NAMES x86_64-w64-mingw32-windres REQUIRED
    DOC "windres of mingw-w64 (binutils-mingw-w64-x86-64)")
endif()

set(QTR_EMBED_RESOURCES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake)

function(qtr_add_resources target)
  cmake_parse_arguments(RES "" "RC;SYMBOL" "DEPENDS;INCLUDE_DIRS" ${ARGN})
  if(NOT RES_RC OR NOT RES_SYMBOL)
    message(FATAL_ERROR "qtr_add_resources(${target}): RC and SYMBOL are required")
  endif()
  get_filename_component(rc ${RES_RC} ABSOLUTE)
  get_filename_component(rc_dir ${rc} DIRECTORY)

  if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    target_sources(${target} PRIVATE ${rc})
    set_property(SOURCE ${rc} APPEND PROPERTY INCLUDE_DIRECTORIES ${rc_dir} ${RES_INCLUDE_DIRS})
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${RES_DEPENDS})
    return()
  endif()

  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/${RES_SYMBOL})
  set(res ${out_dir}/${RES_SYMBOL}.res)
  set(includes -I ${rc_dir})
  foreach(dir IN LISTS RES_INCLUDE_DIRS)
    list(APPEND includes -I ${dir})
  endforeach()
  add_custom_command(OUTPUT ${res}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND ${QTR_WINDRES} ${includes}
      --preprocessor-arg=-MMD --preprocessor-arg=-MF --preprocessor-arg=${res}.d
      --preprocessor-arg=-MT --preprocessor-arg=${res}
      -i ${rc} -O res -o ${res}
    DEPENDS ${rc} ${RES_DEPENDS}
    DEPFILE ${res}.d
    COMMENT "windres ${RES_RC}"
    VERBATIM)
  add_custom_command(OUTPUT ${out_dir}/${RES_SYMBOL}.cpp ${out_dir}/${RES_SYMBOL}.h
    COMMAND ${CMAKE_COMMAND} -DRES=${res} -DSYMBOL=${RES_SYMBOL} -DOUT_DIR=${out_dir}
      -P ${QTR_EMBED_RESOURCES_SCRIPT}
    DEPENDS ${res} ${QTR_EMBED_RESOURCES_SCRIPT}
    COMMENT "embedding ${RES_SYMBOL}.res"
    VERBATIM)
  target_sources(${target} PRIVATE ${out_dir}/${RES_SYMBOL}.cpp ${out_dir}/${RES_SYMBOL}.h)
  target_include_directories(${target} PRIVATE ${out_dir})
endfunction()
