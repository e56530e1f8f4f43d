# nlohmann/json is header-only, but Debian's own config names /usr/include as its folder, where a
# cross-build would find the build machine's C library headers instead of MinGW's. This one, for
# the Windows preset, offers nlohmann's headers alone.
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(KORVEL_NLOHMANN_INCLUDE ${CMAKE_BINARY_DIR}/nlohmann-json-include)
  file(MAKE_DIRECTORY ${KORVEL_NLOHMANN_INCLUDE})
  file(CREATE_LINK /usr/include/nlohmann ${KORVEL_NLOHMANN_INCLUDE}/nlohmann SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE
    ${KORVEL_NLOHMANN_INCLUDE})
endif()
