# Checks that the shipped program reads no test switch: none of the names of
# the environment variables through which the tests steer the test build of
# the program is in the shipped binary, and all of them are in the test
# build (so that the search itself is shown to find them).
# Run with -DPROGRAM=<shipped program> -DTEST_BUILD=<test build of it>.
cmake_minimum_required(VERSION 3.25)
set(names TESMOAPI_TEST_ADMINISTRATOR TESMOAPI_TEST_UNIT_FOLDER TESMOAPI_TEST_MESSAGE_LOG)

function(names_in file result)
  file(STRINGS "${file}" texts REGEX "TESMOAPI_TEST_")
  set(found)
  foreach(name IN LISTS names)
    string(FIND "${texts}" "${name}" at)
    if(NOT at EQUAL -1)
      list(APPEND found ${name})
    endif()
  endforeach()
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

names_in("${PROGRAM}" shipped)
if(shipped)
  message(FATAL_ERROR "the shipped program ${PROGRAM} reads test switches: ${shipped}")
endif()

names_in("${TEST_BUILD}" seams)
foreach(name IN LISTS names)
  if(NOT name IN_LIST seams)
    message(FATAL_ERROR "${name} is not found in the test build ${TEST_BUILD}: the search is broken")
  endif()
endforeach()
