# Lays out an installed folder from the build with "cmake --install" and
# checks it: the program with its libraries and page, the configuration
# template (mode 600 on Linux) that a second installation keeps once edited,
# the unit for that folder on Linux, and on Linux a program that runs from
# there. The folder's name has a blank and a "%", which a unit must escape.
# Run with -DBUILD=<build folder> -DPACKAGING=<packaging/>
# -DWINDOWS=<ON or empty>.
set(folder "${BUILD}/installed folder 50%")
file(REMOVE_RECURSE "${folder}")

function(install_folder)
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${folder}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed:\n${output}")
  endif()
endfunction()

function(expect_same_file what actual expected)
  file(READ "${actual}" actual_text)
  file(READ "${expected}" expected_text)
  if(NOT actual_text STREQUAL expected_text)
    message(FATAL_ERROR "${what}: ${actual} is not as expected:\n${actual_text}")
  endif()
endfunction()

install_folder()

if(WINDOWS)
  set(wanted TesmoApi.exe Portavex.dll Tesmo.Client.dll api.html openapi.json TesmoApi.json
             README.md)
  set(unwanted lib TesmoApiServiceTests.exe tesmo-sim.exe TesmoApi.service)
else()
  set(wanted TesmoApi libPortavex.so libTesmo.Client.so api.html openapi.json TesmoApi.json
             TesmoApi.service README.md)
  set(unwanted lib TesmoApiServiceTests tesmo-sim)
endif()
foreach(name IN LISTS wanted)
  if(NOT EXISTS "${folder}/${name}")
    message(FATAL_ERROR "missing in the installed folder: ${name}")
  endif()
endforeach()
foreach(name IN LISTS unwanted)
  if(EXISTS "${folder}/${name}")
    message(FATAL_ERROR "not part of the installed folder: ${name}")
  endif()
endforeach()

expect_same_file("configuration template" "${folder}/TesmoApi.json" "${PACKAGING}/TesmoApi.json")
file(READ "${folder}/TesmoApi.json" config)
if(NOT config MATCHES "\"password\": \"CHANGE-ME\"")
  message(FATAL_ERROR "the template has no placeholder password:\n${config}")
endif()

if(NOT WINDOWS)
  execute_process(COMMAND stat -c %a "${folder}/TesmoApi.json" OUTPUT_VARIABLE mode
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT mode STREQUAL "600")
    message(FATAL_ERROR "TesmoApi.json has mode ${mode}, not 600: it holds the password")
  endif()

  # The unit names the program in this folder as systemd reads it: the path
  # quoted for its blank and "%" doubled, which systemd-analyze verify
  # checks by finding the program there.
  file(READ "${folder}/TesmoApi.service" unit)
  string(REPLACE "%" "%%" escaped "${folder}")
  if(NOT unit MATCHES "\nExecStart=\"${escaped}/TesmoApi\"\n")
    message(FATAL_ERROR "the installed unit does not start ${folder}/TesmoApi:\n${unit}")
  endif()
  find_program(analyze systemd-analyze)
  if(NOT analyze)
    message(FATAL_ERROR "systemd-analyze is needed to verify the unit: scripts/install-deps")
  endif()
  execute_process(COMMAND "${analyze}" verify --man=no "${folder}/TesmoApi.service"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "systemd-analyze verify finds fault with the installed unit:\n${output}")
  endif()

  # Its libraries are found beside it: an unknown switch is refused, -1.
  execute_process(COMMAND "${folder}/TesmoApi" /unknown RESULT_VARIABLE status
                  ERROR_VARIABLE error)
  if(NOT status EQUAL 255 OR NOT error MATCHES "Argumento inválido")
    message(FATAL_ERROR "the installed program did not run: status ${status}\n${error}")
  endif()
endif()

# An edited configuration survives the next installation.
file(WRITE "${folder}/TesmoApi.json" "edited")
install_folder()
file(READ "${folder}/TesmoApi.json" config)
if(NOT config STREQUAL "edited")
  message(FATAL_ERROR "a second installation replaced the configuration")
endif()

file(REMOVE_RECURSE "${folder}")
