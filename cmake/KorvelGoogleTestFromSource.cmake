# Debian packages GoogleTest built for the build machine only; a cross-build compiles it from the
# sources Debian ships (package googletest) instead, as a system library so that our warning flags
# stay off its code. Its own CMake names the targets GTest::gtest, GTest::gmock and so on.
set(INSTALL_GTEST OFF CACHE BOOL "GoogleTest is built for the tests only" FORCE)
add_subdirectory(${KORVEL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Unoptimised: the framework's speed does not matter to the tests, its build time does (its two
# big files take half a minute each at -O2 under MinGW).
foreach(library gtest gtest_main gmock gmock_main)
  target_compile_options(${library} PRIVATE -O0)
endforeach()
