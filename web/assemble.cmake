cmake_minimum_required(VERSION 3.25)
# Inlines the style, the scripts and the WebAssembly module (as base64) into
# the page: one file, no requests.
# -DTEMPLATE= -DSTYLE= -DAPP= -DCORE= -DWASM= -DOUT=
foreach(part TEMPLATE STYLE APP CORE WASM OUT)
  if(NOT DEFINED ${part})
    message(FATAL_ERROR "assemble.cmake needs -D${part}=...")
  endif()
endforeach()
file(READ ${TEMPLATE} page)
file(READ ${STYLE} style)
file(READ ${APP} app)
file(READ ${CORE} core)
execute_process(COMMAND base64 -w0 ${WASM} OUTPUT_VARIABLE wasm
                COMMAND_ERROR_IS_FATAL ANY)
foreach(part app core)
  # A script element ends at the first "</script"; none may stand inside.
  string(FIND "${${part}}" "</script" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${part} holds </script")
  endif()
endforeach()
# Placeholders are replaced in one pass each, so their text never recurs.
string(REPLACE "/*@STYLE@*/" "${style}" page "${page}")
string(REPLACE "/*@WASM@*/" "${wasm}" page "${page}")
string(REPLACE "/*@CORE@*/" "${core}" page "${page}")
string(REPLACE "/*@APP@*/" "${app}" page "${page}")
file(WRITE ${OUT} "${page}")
file(SIZE ${OUT} size)
message(STATUS "zolvane-tools.html: ${size} bytes")
