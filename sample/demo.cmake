# The whole road on the sample, in WORK:
#   grids -> glyphpack -> zol.tbl;  scene -> mksample -> sample.sfc;
#   msgdump sample.sfc -> script.txt (Shift-JIS), and with --utf8, --atlas
#   and --thingy -> script.utf8.txt, script.atlas.txt, zolvane.tbl
# (expected.zol.tbl, expected*.txt and expected.thingy.tbl hold them; the
# browser page's test holds the page to the same files.)
# Then either shows the UTF-8 script (the demo), or, with CHECK set, checks
# every output byte for byte against the checked-in ones (the golden test).
foreach(var SAMPLE WORK GLYPHPACK MKSAMPLE MSGDUMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "demo.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${SAMPLE}/zol_00.txt" "${SAMPLE}/zol_01.txt" DESTINATION "${WORK}")

# RUNNER (Wine) runs programs built for Windows; CRLF says their standard
# output is in text mode, so the expected files' newlines become CR LF.
execute_process(COMMAND ${RUNNER} "${GLYPHPACK}" WORKING_DIRECTORY "${WORK}"
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${RUNNER} "${MKSAMPLE}" "${SAMPLE}/scene.txt" sample.sfc
                WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
# output file, then msgdump's options; expected file
set(runs "script.txt|sample.sfc|expected.txt"
         "script.utf8.txt|--utf8,sample.sfc|expected.utf8.txt"
         "script.atlas.txt|--atlas,sample.sfc|expected.atlas.txt"
         "zolvane.tbl|--thingy|expected.thingy.tbl")
foreach(run ${runs})
  string(REPLACE "|" ";" run "${run}")
  list(GET run 0 output)
  list(GET run 1 options)
  list(GET run 2 expected)
  string(REPLACE "," ";" options "${options}")
  execute_process(COMMAND ${RUNNER} "${MSGDUMP}" ${options}
                  WORKING_DIRECTORY "${WORK}" OUTPUT_FILE "${WORK}/${output}"
                  COMMAND_ERROR_IS_FATAL ANY)
  if(CHECK)
    set(want "${SAMPLE}/${expected}")
    if(CRLF)
      file(READ "${want}" lf)
      string(REPLACE "\n" "\r\n" crlf "${lf}")
      file(WRITE "${WORK}/${expected}" "${crlf}")
      set(want "${WORK}/${expected}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
                            "${WORK}/${output}" "${want}"
                    RESULT_VARIABLE differ)
    if(differ)
      message(FATAL_ERROR "the sample's ${WORK}/${output} differs from ${want}")
    endif()
    message(STATUS "${output} matches ${expected}")
  endif()
endforeach()

if(CHECK)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
                          "${WORK}/zol.tbl" "${SAMPLE}/expected.zol.tbl"
                  RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "the sample's ${WORK}/zol.tbl differs from expected.zol.tbl")
  endif()
else()
  file(READ "${WORK}/script.utf8.txt" script)
  # The script ends without a newline (after "[EOF]"): end the line here.
  message(STATUS "msgdump --utf8 sample.sfc:\n${script}\n")
  message(STATUS "files are in ${WORK}")
endif()
