# Run by "cmake --install": the parts of the installed folder that depend on
# what is already there and on the folder itself. TESMO_PACKAGING (this
# folder), TESMO_BUILD (a scratch folder) and TESMO_UNIT_TOOL (on Linux the
# program that writes the unit, TesmoApiServiceUnit; empty elsewhere) are set
# by the build.
get_filename_component(folder "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(installed "$ENV{DESTDIR}${folder}")

# The configuration holds the Tesmo server's password: a template with a
# placeholder, readable by its owner only, and never over one already there.
if(EXISTS "${installed}/TesmoApi.json")
  message(STATUS "Kept: ${installed}/TesmoApi.json")
else()
  file(INSTALL DESTINATION "${folder}" TYPE FILE
       PERMISSIONS OWNER_READ OWNER_WRITE
       FILES "${TESMO_PACKAGING}/TesmoApi.json")
endif()

# The systemd unit, for a program in this folder: the packaged unit's notes,
# then the unit the program's own code writes, so that the folder's name is
# escaped as "TesmoApi /Install" escapes it (a blank, a "%").
if(TESMO_UNIT_TOOL)
  file(READ "${TESMO_PACKAGING}/TesmoApi.service" packaged)
  string(FIND "${packaged}" "[Unit]" body)
  string(SUBSTRING "${packaged}" 0 ${body} notes)
  string(REPLACE "/opt/TesmoApi" "${folder}" notes "${notes}")
  execute_process(COMMAND "${TESMO_UNIT_TOOL}" "${folder}/TesmoApi"
                  RESULT_VARIABLE result OUTPUT_VARIABLE unit ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "no unit for ${folder}: ${error}")
  endif()
  string(FIND "${unit}" "[Unit]" body)
  string(SUBSTRING "${unit}" ${body} -1 unit)
  file(WRITE "${TESMO_BUILD}/TesmoApi.service" "${notes}${unit}")
  file(INSTALL DESTINATION "${folder}" TYPE FILE FILES "${TESMO_BUILD}/TesmoApi.service")
endif()
