cmake_minimum_required(VERSION 3.25)
# The files msginsert --pairs writes for the sample's English, as SHA-256
# sums in fit.sha256: the page's "Make it fit" downloads are held to those
# sums (page.test.mjs, which has no msginsert), and this holds the sums to
# msginsert.  With -DUPDATE=ON it writes them instead.
#   -DMSGINSERT= -DMKSAMPLE= -DSAMPLE= -DWORK= [-DUPDATE=ON]
foreach(part MSGINSERT MKSAMPLE SAMPLE WORK)
  if(NOT DEFINED ${part})
    message(FATAL_ERROR "fit_golden.cmake needs -D${part}=...")
  endif()
endforeach()
set(sums ${CMAKE_CURRENT_LIST_DIR}/fit.sha256)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/en)
# The page inserts with the grids' own Thingy table, as msgdump --thingy
# writes it.
configure_file(${SAMPLE}/expected.thingy.tbl ${WORK}/zolvane.tbl COPYONLY)
configure_file(${SAMPLE}/english.atlas.txt ${WORK}/english.atlas.txt COPYONLY)
execute_process(COMMAND ${MKSAMPLE} ${SAMPLE}/scene.txt sample.sfc
  WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${MSGINSERT} --font 2bpp:0xC8000:0xCC000 --pairs en
                -o patched.sfc --bps patch.bps english.atlas.txt sample.sfc
  WORKING_DIRECTORY ${WORK} ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
set(made "")
foreach(name en/english.tbl en/zol_00.txt en/zol_01.txt patched.sfc patch.bps)
  file(SHA256 ${WORK}/${name} sum)
  string(APPEND made "${sum}  ${name}\n")
endforeach()
if(UPDATE)
  file(WRITE ${sums} "${made}")
  return()
endif()
file(READ ${sums} want)
if(NOT want STREQUAL made)
  message(FATAL_ERROR "msginsert --pairs no longer writes what ${sums} "
          "holds (run this with -DUPDATE=ON if that is meant):\n${made}")
endif()
