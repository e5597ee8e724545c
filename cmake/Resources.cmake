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
