# Run by CPack's External generator: packs the staged install tree with
# tools/pack.py into the package, and writes SHA256SUMS beside it.
if(NOT CPACK_ZOL_PYTHON)
  message(FATAL_ERROR "Packing needs python3 (Debian: apt-get install python3)")
endif()
if(CPACK_ZOL_FORMAT STREQUAL "zip")
  set(name ${CPACK_PACKAGE_FILE_NAME}.zip)
else()
  set(name ${CPACK_PACKAGE_FILE_NAME}.tar.gz)
endif()
set(package ${CPACK_PACKAGE_DIRECTORY}/${name})
execute_process(
  COMMAND ${CPACK_ZOL_PYTHON} ${CPACK_ZOL_PACK} ${CPACK_ZOL_FORMAT}
          ${CPACK_ZOL_EPOCH} ${CPACK_TEMPORARY_DIRECTORY}
          ${CPACK_PACKAGE_FILE_NAME} ${package}
  COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 ${package} sum)
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${sum}  ${name}\n")
set(CPACK_EXTERNAL_BUILT_PACKAGES ${package})
