# embed_resources(TARGET t FUNCTION f FILES a b ...): compiles the files into
# target t as static arrays and a function `void f()` that registers them with
# platform/os/Resources.h (called by the owning unit's initialization).
# A form file (.dfm) is named by its root class upper-cased ("TFORM1"), other
# files by their base name upper-cased.
set(_EMBED_RESOURCES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake)

function(embed_resources)
  cmake_parse_arguments(ER "" "TARGET;FUNCTION" "FILES" ${ARGN})
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/${ER_FUNCTION}.cpp)
  string(REPLACE ";" "|" _files "${ER_FILES}")
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${_out} -DFUNCTION=${ER_FUNCTION} "-DFILES=${_files}"
            -P ${_EMBED_RESOURCES_SCRIPT}
    DEPENDS ${ER_FILES} ${_EMBED_RESOURCES_SCRIPT}
    COMMENT "Embedding resources for ${ER_TARGET}"
    VERBATIM)
  target_sources(${ER_TARGET} PRIVATE ${_out})
  target_link_libraries(${ER_TARGET} PUBLIC platform_os)
endfunction()

# add_resource_module(TARGET t OUTPUT_NAME n FILES a b ...): a library module
# (a shared object named n, such as "B_Lib.DLL") that carries the files as
# its resource table (platform/os/ModuleResources.h) and no code besides.
function(add_resource_module)
  cmake_parse_arguments(RM "" "TARGET;OUTPUT_NAME" "FILES" ${ARGN})
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/${RM_TARGET}_resources.cpp)
  string(REPLACE ";" "|" _files "${RM_FILES}")
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${_out} -DMODE=TABLE "-DFILES=${_files}"
            -P ${_EMBED_RESOURCES_SCRIPT}
    DEPENDS ${RM_FILES} ${_EMBED_RESOURCES_SCRIPT}
    COMMENT "Building the resource table of ${RM_OUTPUT_NAME}"
    VERBATIM)
  add_library(${RM_TARGET} MODULE ${_out})
  target_include_directories(${RM_TARGET} PRIVATE ${PROJECT_SOURCE_DIR})
  get_filename_component(_suffix "${RM_OUTPUT_NAME}" LAST_EXT)
  get_filename_component(_stem "${RM_OUTPUT_NAME}" NAME_WLE)
  set_target_properties(${RM_TARGET} PROPERTIES PREFIX "" OUTPUT_NAME "${_stem}" SUFFIX "${_suffix}")
endfunction()

# ship_resource_module(TARGET program MODULE m): copies module m next to the
# program after each build, where the program's file search finds it.
function(ship_resource_module)
  cmake_parse_arguments(SM "" "TARGET;MODULE" "" ${ARGN})
  add_dependencies(${SM_TARGET} ${SM_MODULE})
  add_custom_command(TARGET ${SM_TARGET} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${SM_MODULE}> $<TARGET_FILE_DIR:${SM_TARGET}>
    VERBATIM)
endfunction()
