# GoogleTest: the Debian packages natively; built from the Debian sources
# when cross-building for Windows.
include(CTest)
if(BUILD_TESTING)
  if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    foreach(target gtest gtest_main gmock gmock_main)
      add_library(GTest::${target} ALIAS ${target})
    endforeach()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

# tesmo_add_test(NAME SOURCES... LIBS...) builds one GoogleTest program and
# registers it with ctest as one test (one process keeps the Wine runs fast).
function(tesmo_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT BUILD_TESTING)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
