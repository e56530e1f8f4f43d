# Debian packages GoogleTest built for the build machine only; a cross-build compiles it from the
# sources Debian ships (package googletest) instead, as a system library so that our warning flags
# stay off its code. Its own CMake names the targets GTest::gtest, GTest::gmock and so on.
set(INSTALL_GTEST OFF CACHE BOOL "GoogleTest is built for the tests only" FORCE)
add_subdirectory(${KORVEL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
