# The whole road on the sample, in WORK:
#   grids -> glyphpack -> zol.tbl;  scene -> mksample -> sample.sfc;
#   msgdump sample.sfc -> script.txt (Shift-JIS), and with --utf8, --atlas
#   and --thingy -> script.utf8.txt, script.atlas.txt, zolvane.tbl;
#   then the translator's loop: english.atlas.txt (natural English, for
#   zolvane.tbl) fitted by msginsert --pairs -> fitted.sfc and the grids in
#   pairs/, through which msgdump --utf8 shows the English; and without
#   pairs: squeezed.atlas.txt and english.tbl inserted by mksample (the
#   page's inserter) -> patched.sfc; msgdump --to-fill on it lists the
#   letters' codes still blank in the grids, and with english_00.txt (those
#   cells drawn) msgdump --utf8 shows the English.
# (The expected* files hold the outputs; the browser page's test holds the
# page to the same files.)  Then either shows the UTF-8 script (the demo),
# or, with CHECK set, checks every output byte for byte against the
# checked-in ones, and that the sample draws no hint (the golden test).
foreach(var SAMPLE WORK GLYPHPACK MKSAMPLE MSGDUMP MSGINSERT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "demo.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/english" "${WORK}/pairs")
file(COPY "${SAMPLE}/zol_00.txt" "${SAMPLE}/zol_01.txt" "${SAMPLE}/english.atlas.txt"
     DESTINATION "${WORK}")
file(COPY "${SAMPLE}/zol_01.txt" DESTINATION "${WORK}/english")
file(COPY_FILE "${SAMPLE}/english_00.txt" "${WORK}/english/zol_00.txt")

# RUNNER (Wine) runs programs built for Windows; CRLF says their standard
# output is in text mode, so the expected files' newlines become CR LF
# where the output's are the system's ("native"; Atlas scripts and Thingy
# tables are LF everywhere).
foreach(dir "${WORK}" "${WORK}/english")
  execute_process(COMMAND ${RUNNER} "${GLYPHPACK}" WORKING_DIRECTORY "${dir}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND ${RUNNER} "${MKSAMPLE}" "${SAMPLE}/scene.txt" sample.sfc
                WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${RUNNER} "${MKSAMPLE}" --insert sample.sfc
                        "${SAMPLE}/squeezed.atlas.txt" "${SAMPLE}/english.tbl"
                        patched.sfc
                WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
# The loop with pairs needs zolvane.tbl, which the first runs below make.
macro(fit_in_pairs)
  execute_process(COMMAND ${RUNNER} "${MSGINSERT}" --font 2bpp:0xC8000:0xCC000
                          --pairs pairs -o fitted.sfc --bps english.bps
                          english.atlas.txt sample.sfc
                  WORKING_DIRECTORY "${WORK}" ERROR_VARIABLE fitted
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${RUNNER} "${GLYPHPACK}" WORKING_DIRECTORY "${WORK}/pairs"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endmacro()
# folder (below WORK), output file, msgdump's options, expected file, line ends
set(runs ".|script.txt|sample.sfc|expected.txt|native"
         ".|script.utf8.txt|--utf8,sample.sfc|expected.utf8.txt|native"
         ".|script.atlas.txt|--atlas,sample.sfc|expected.atlas.txt|lf"
         ".|zolvane.tbl|--thingy|expected.thingy.tbl|lf"
         ".|to-fill.txt|--to-fill,patched.sfc|expected.to-fill.txt|native"
         "english|english.txt|--utf8,../patched.sfc|expected.english.txt|native"
         "pairs|pairs.txt|--utf8,../fitted.sfc|expected.pairs.txt|native")
foreach(run ${runs})
  string(REPLACE "|" ";" run "${run}")
  list(GET run 0 dir)
  list(GET run 1 output)
  list(GET run 2 options)
  list(GET run 3 expected)
  list(GET run 4 ends)
  string(REPLACE "," ";" options "${options}")
  if(dir STREQUAL "pairs")
    fit_in_pairs()
  endif()
  execute_process(COMMAND ${RUNNER} "${MSGDUMP}" ${options}
                  WORKING_DIRECTORY "${WORK}/${dir}"
                  OUTPUT_FILE "${WORK}/${output}" ERROR_VARIABLE said
                  COMMAND_ERROR_IS_FATAL ANY)
  if(NOT CHECK)
    continue()
  endif()
  if(NOT said STREQUAL "")
    message(FATAL_ERROR "msgdump ${options} on the sample says:\n${said}")
  endif()
  set(want "${SAMPLE}/${expected}")
  if(CRLF AND ends STREQUAL "native")
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
  file(READ "${WORK}/pairs.txt" english)
  message(STATUS "msgdump --utf8 sample.sfc:\n${script}")
  message(STATUS "the sample's translation (english.atlas.txt) fitted in "
                 "pairs by msginsert:\n${fitted}")
  message(STATUS "and msgdump --utf8 fitted.sfc, with the grids it wrote "
                 "(pairs/):\n${english}")
  message(STATUS "files are in ${WORK}")
endif()
