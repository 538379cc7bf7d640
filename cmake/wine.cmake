# Programs built for Windows run under Wine, through build/wine-run, in a
# prefix of this build's own (never the user's ~/.wine), made once as part
# of the build.  Its debug chatter stays off the stderr the tests compare,
# and it neither downloads Mono or Gecko nor adds menu entries.
set(wine_run ${CMAKE_BINARY_DIR}/wine-run)
file(CONFIGURE OUTPUT ${wine_run} @ONLY CONTENT [[#!/bin/sh
# Runs a Windows program of this build under Wine, in the build's prefix.
WINEPREFIX='@CMAKE_BINARY_DIR@/wine' WINEDEBUG=-all \
WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' \
exec '@CMAKE_CROSSCOMPILING_EMULATOR@' "$@"
]])
file(CHMOD ${wine_run} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_run})
# (wineboot returns before Wine has settled the new prefix: the server's
# exit says it has.)
find_program(ZOL_WINESERVER wineserver REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/wine/made
  COMMAND timeout 300 ${wine_run} wineboot -i
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine
          timeout 300 ${ZOL_WINESERVER} -w
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/wine/made
  COMMENT "Making the Wine prefix for the tests in ${CMAKE_BINARY_DIR}/wine"
  VERBATIM)
add_custom_target(wine_prefix ALL DEPENDS ${CMAKE_BINARY_DIR}/wine/made)
# One Wine server for the whole test run (a program started while the
# last one's server is shutting down can fail to start), gone a minute
# after the last test even if the run is cut short.
set(wine_server ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine
    ${ZOL_WINESERVER})
set(ZOL_TEST_FIXTURE FIXTURES_REQUIRED wine)
if(ZOL_TESTS)
  enable_testing()
  # (Its output goes nowhere: CTest would wait for the server to close
  # what it inherited.)
  add_test(NAME wine_server_start COMMAND sh -c "\"$@\" -p60 </dev/null \
            >/dev/null 2>&1" sh ${wine_server})
  # (A server already gone is no failure: -k then finds none to stop.)
  add_test(NAME wine_server_stop COMMAND sh -c "\"$@\" -k; exit 0" sh
           ${wine_server})
  set_tests_properties(wine_server_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()
