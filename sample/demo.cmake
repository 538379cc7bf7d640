# The whole road on the sample, in WORK:
#   grids -> glyphpack -> zol.tbl;  scene -> mksample -> sample.sfc;
#   msgdump sample.sfc -> script.txt (Shift-JIS)
# Then either shows the script as UTF-8 (the demo), or, with EXPECTED set,
# checks it byte for byte against the checked-in dump (the golden test).
foreach(var SAMPLE WORK GLYPHPACK MKSAMPLE MSGDUMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "demo.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${SAMPLE}/zol_00.txt" "${SAMPLE}/zol_01.txt" DESTINATION "${WORK}")

# RUNNER (Wine) runs programs built for Windows; CRLF says their standard
# output is in text mode, so the expected dump's newlines become CR LF.
execute_process(COMMAND ${RUNNER} "${GLYPHPACK}" WORKING_DIRECTORY "${WORK}"
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${RUNNER} "${MKSAMPLE}" "${SAMPLE}/scene.txt" sample.sfc
                WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${RUNNER} "${MSGDUMP}" sample.sfc WORKING_DIRECTORY "${WORK}"
                OUTPUT_FILE "${WORK}/script.txt" COMMAND_ERROR_IS_FATAL ANY)

if(DEFINED EXPECTED)
  if(CRLF)
    file(READ "${EXPECTED}" lf)
    string(REPLACE "\n" "\r\n" crlf "${lf}")
    file(WRITE "${WORK}/expected.txt" "${crlf}")
    set(EXPECTED "${WORK}/expected.txt")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
                          "${WORK}/script.txt" "${EXPECTED}"
                  RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "the sample's dump ${WORK}/script.txt differs from "
                        "${EXPECTED}")
  endif()
  message(STATUS "sample dump matches ${EXPECTED}")
else()
  message(STATUS "script.txt (Shift-JIS) shown as UTF-8:")
  execute_process(COMMAND iconv -f CP932 -t UTF-8 script.txt
                  WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
  # The script ends without a newline (after "[EOF]"): end the line here.
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "")
  message(STATUS "files are in ${WORK}")
endif()
