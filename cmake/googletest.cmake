# GoogleTest for the test suite: the installed package, or, when
# cross-compiling, built for the target from the sources Debian ships
# (package googletest, in /usr/src/googletest).  Without it the programs,
# the demo and the install still build, and the tests are skipped; with
# ZOL_REQUIRE_TESTS (the test presets) its absence is an error.
option(ZOL_REQUIRE_TESTS "Fail when GoogleTest is missing" OFF)
set(ZOL_GTEST_SOURCES /usr/src/googletest
    CACHE PATH "GoogleTest sources, built for the target when cross-compiling")

if(CMAKE_CROSSCOMPILING)
  if(EXISTS ${ZOL_GTEST_SOURCES}/CMakeLists.txt)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${ZOL_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest
                     EXCLUDE_FROM_ALL SYSTEM)
    # Its code is not ours: our warning flags stay off it.
    set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "")
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
    set(GTest_FOUND TRUE)
  endif()
else()
  find_package(GTest)
endif()

if(NOT GTest_FOUND)
  if(ZOL_REQUIRE_TESTS)
    message(FATAL_ERROR "GoogleTest is required for the tests "
                        "(Debian: apt-get install libgtest-dev googletest)")
  endif()
  message(STATUS "GoogleTest not found (Debian: libgtest-dev): building "
                 "without the test suite; `ctest` will run nothing")
endif()
