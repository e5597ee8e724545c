# One static library per source folder: every .cpp of the folder.
set(PROJECT_WARNINGS -Wall -Wextra)

function(project_library name)
  cmake_parse_arguments(PL "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _src)
    set(_src ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${PROJECT_WARNINGS})
  target_link_libraries(${name} PUBLIC ${PL_DEPS} PRIVATE ${PL_PRIVATE_DEPS})
endfunction()

# One test program per test folder; every .cpp of the folder, plus the shared main.
function(project_tests name)
  cmake_parse_arguments(PT "" "" "LIBS;LABELS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _src)
    return()
  endif()
  add_executable(${name} ${_src})
  target_compile_options(${name} PRIVATE ${PROJECT_WARNINGS})
  target_link_libraries(${name} PRIVATE ${PT_LIBS} test_support GTest::gtest GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    LABELS "${PT_LABELS}")
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/Resources.cmake)
