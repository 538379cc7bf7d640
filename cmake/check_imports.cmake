cmake_minimum_required(VERSION 3.25)
# Fails unless every program in FILES imports only Windows' own DLLs, so the
# .exe files run on a machine with nothing installed.  -DOBJDUMP= -DFILES=
set(allowed kernel32.dll advapi32.dll msvcrt.dll)
foreach(file ${FILES})
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(import ${imports})
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST allowed)
      message(FATAL_ERROR "${file} imports ${dll}")
    endif()
  endforeach()
  message(STATUS "${file}: imports only ${allowed}")
endforeach()
