# CLI11 is header-only, but Debian's own CLI11Config names /usr/include as its folder, where a
# cross-build would find the build machine's C library headers instead of MinGW's. This one, for
# the Windows preset, offers CLI11's headers alone.
if(NOT TARGET CLI11::CLI11)
  set(KORVEL_CLI11_INCLUDE ${CMAKE_BINARY_DIR}/cli11-include)
  file(MAKE_DIRECTORY ${KORVEL_CLI11_INCLUDE})
  file(CREATE_LINK /usr/include/CLI ${KORVEL_CLI11_INCLUDE}/CLI SYMBOLIC)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${KORVEL_CLI11_INCLUDE})
endif()
