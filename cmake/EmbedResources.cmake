# Script mode: writes OUT, a .cpp that registers FILES ("|"-separated) as
# resources from a function named FUNCTION; with MODE=TABLE, a .cpp that
# exports them as a library module's resource table (ModuleResources.h).
string(REPLACE "|" ";" _files "${FILES}")
set(_arrays "")
set(_calls "")
set(_entries "")
set(_index 0)
foreach(_file IN LISTS _files)
  get_filename_component(_ext "${_file}" LAST_EXT)
  string(TOLOWER "${_ext}" _ext)
  get_filename_component(_base "${_file}" NAME_WLE)
  set(_type RCDATA)
  if(_ext STREQUAL ".dfm")
    file(STRINGS "${_file}" _header LIMIT_COUNT 1 REGEX "^[ \t]*(object|inherited|inline)[ \t]")
    if(NOT _header MATCHES "^[ \t]*(object|inherited|inline)[ \t]+([A-Za-z_][A-Za-z0-9_]*[ \t]*:[ \t]*)?([A-Za-z_][A-Za-z0-9_]*)")
      message(FATAL_ERROR "${_file}: no object header")
    endif()
    set(_name "${CMAKE_MATCH_3}")
  else()
    set(_name "${_base}")
    if(_ext STREQUAL ".bmp")
      set(_type BITMAP)
    elseif(_ext STREQUAL ".cur")
      set(_type CURSOR)
    endif()
  endif()
  string(TOUPPER "${_name}" _name)
  file(READ "${_file}" _hex HEX)
  string(LENGTH "${_hex}" _len)
  math(EXPR _size "${_len} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n  " _bytes "${_bytes}")
  string(APPEND _arrays "const uint8_t kResource${_index}[${_size} + 1] = {\n  ${_bytes}0};\n")
  string(APPEND _calls "  RegisterResource(\"${_name}\", \"${_type}\", kResource${_index}, ${_size});\n")
  if(_name MATCHES "^[0-9]+$")
    string(APPEND _entries "    {\"${_type}\", nullptr, ${_name}, kResource${_index}, ${_size}},\n")
  else()
    string(APPEND _entries "    {\"${_type}\", \"${_name}\", 0, kResource${_index}, ${_size}},\n")
  endif()
  math(EXPR _index "${_index} + 1")
endforeach()
if(MODE STREQUAL "TABLE")
  file(WRITE "${OUT}.tmp"
  "// Generated from resources/ by cmake/EmbedResources.cmake; do not edit.\n"
  "#include \"platform/os/ModuleResources.h\"\n\n"
  "namespace {\n${_arrays}\nconst TModuleResource kTable[] = {\n${_entries}};\n}  // namespace\n\n"
  "extern \"C\" __attribute__((visibility(\"default\"))) const TModuleResource* ModuleResources(size_t* Count) {\n"
  "  *Count = sizeof(kTable) / sizeof(kTable[0]);\n  return kTable;\n}\n")
else()
  file(WRITE "${OUT}.tmp"
  "// Generated from resources/ by cmake/EmbedResources.cmake; do not edit.\n"
  "#include \"platform/os/Resources.h\"\n\n"
  "namespace {\n${_arrays}}  // namespace\n\n"
  "void ${FUNCTION}() {\n${_calls}}\n")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUT}.tmp" "${OUT}")
file(REMOVE "${OUT}.tmp")
