# Run by "cmake --install": the parts of the installed folder that depend on
# what is already there and on the folder itself. TESMO_PACKAGING (this
# folder), TESMO_BUILD (a scratch folder) and TESMO_UNIT (ON on Linux) are set
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

# The systemd unit, for a program in this folder.
if(TESMO_UNIT)
  file(READ "${TESMO_PACKAGING}/TesmoApi.service" unit)
  string(REPLACE "/opt/TesmoApi" "${folder}" unit "${unit}")
  file(WRITE "${TESMO_BUILD}/TesmoApi.service" "${unit}")
  file(INSTALL DESTINATION "${folder}" TYPE FILE FILES "${TESMO_BUILD}/TesmoApi.service")
endif()
