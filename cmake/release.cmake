# What a release hands out, and how it is packed.
#
# Linux: bin/, share/man/man1/, and share/doc/zolvane-tools/ with the README
# (and its picture, doc/browser.png), LICENSE, CHANGELOG, the browser page
# and the sample (its grids and image).  Windows: the .exe files at the top
# of the zip, beside the same documents, the text ones with CR LF.
#
# CPack (its External generator) stages the install tree and tools/pack.py
# packs it so that every build of one commit gives the same bytes: the
# commit's time (SOURCE_DATE_EPOCH) on every entry, fixed owners, modes and
# order.  The programs themselves carry no build paths or time stamps.
include(GNUInstallDirs)
if(WIN32)
  set(zol_bin_dir .)
  set(zol_doc_dir .)
  set(zol_docs)
  foreach(doc README.md LICENSE CHANGELOG.md)
    file(READ ${PROJECT_SOURCE_DIR}/${doc} text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${CMAKE_BINARY_DIR}/crlf/${doc} "${text}")
    list(APPEND zol_docs ${CMAKE_BINARY_DIR}/crlf/${doc})
  endforeach()
else()
  set(zol_bin_dir ${CMAKE_INSTALL_BINDIR})
  set(zol_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/zolvane-tools)
  set(zol_docs README.md LICENSE CHANGELOG.md)
  install(FILES doc/msgdump.1 doc/glyphpack.1 doc/msginsert.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(TARGETS msgdump glyphpack msginsert RUNTIME DESTINATION ${zol_bin_dir})
install(FILES ${zol_docs} DESTINATION ${zol_doc_dir})
install(FILES doc/browser.png DESTINATION ${zol_doc_dir}/doc)
# (sample/CMakeLists.txt installs the sample into ${zol_doc_dir}/sample.)

# The browser page, built with Emscripten in a build of its own (page/).
# The package workflows turn it on: without Emscripten they stop and say
# so, rather than hand out packages without the page.
option(ZOL_PAGE "Build the browser page and put it in the packages" OFF)
if(ZOL_PAGE)
  find_file(ZOL_EMSCRIPTEN_TOOLCHAIN Emscripten.cmake
    PATHS /usr/share/emscripten/cmake/Modules/Platform
          $ENV{EMSDK}/upstream/emscripten/cmake/Modules/Platform
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ZOL_EMSCRIPTEN_TOOLCHAIN)
    message(FATAL_ERROR
      "The packages carry the browser page, which is built with Emscripten, "
      "and Emscripten was not found (Debian: apt-get install emscripten "
      "node-acorn).  Configure with -DZOL_PAGE=OFF for packages without "
      "the page.")
  endif()
  include(ExternalProject)
  # Debian's Emscripten finds its acorn through NODE_PATH.
  set(with_node ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
  ExternalProject_Add(page
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/page
    CONFIGURE_COMMAND ${with_node} ${CMAKE_COMMAND} -S <SOURCE_DIR>
      -B <BINARY_DIR> -DCMAKE_BUILD_TYPE=Release -DZOL_WERROR=${ZOL_WERROR}
      -DCMAKE_TOOLCHAIN_FILE=${ZOL_EMSCRIPTEN_TOOLCHAIN}
    BUILD_COMMAND ${with_node} ${CMAKE_COMMAND} --build <BINARY_DIR>
      --target web_page
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/page/zolvane-tools.html)
  install(FILES ${CMAKE_BINARY_DIR}/page/zolvane-tools.html
          DESTINATION ${zol_doc_dir})
endif()

# The commit's time, for every entry of the packages.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(zol_epoch $ENV{SOURCE_DATE_EPOCH})
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE zol_epoch ERROR_QUIET
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  if(NOT zol_epoch MATCHES "^[0-9]+$")
    message(STATUS "No commit to date the packages by (not a git checkout); "
                   "set SOURCE_DATE_EPOCH")
    set(zol_epoch 0)
  endif()
endif()
find_package(Python3 COMPONENTS Interpreter)

set(CPACK_PACKAGE_NAME zolvane-tools)
set(CPACK_PACKAGE_VENDOR "the Zolvane script tools authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Pull the script of the Super Famicom game Zolvane out of its ROM image")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_ZOL_FORMAT zip)
else()
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME})
  set(CPACK_ZOL_FORMAT tgz)
endif()
set(CPACK_PACKAGE_FILE_NAME
    ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/pack.cmake)
set(CPACK_ZOL_EPOCH ${zol_epoch})
set(CPACK_ZOL_PYTHON "${Python3_EXECUTABLE}")
set(CPACK_ZOL_PACK ${PROJECT_SOURCE_DIR}/tools/pack.py)
include(CPack)
