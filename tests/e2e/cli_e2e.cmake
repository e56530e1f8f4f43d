# korvel-cli against korvel-devsim over real ICMP, each case in a namespace of its own made by
# scripts/with-devsim. Included from tests/e2e/CMakeLists.txt.
if(NOT TARGET korvel-cli OR NOT TARGET korvel-devsim)
  return()
endif()

add_executable(e2e_cli_fixture ${CMAKE_CURRENT_LIST_DIR}/cli_e2e_fixture.cpp)
target_link_libraries(e2e_cli_fixture PRIVATE korvel_devsim)
target_include_directories(e2e_cli_fixture PRIVATE ${PROJECT_SOURCE_DIR}/src)
korvel_warnings(e2e_cli_fixture)

# The JSON lines of --json and --log-file, checked against their schema.
find_package(nlohmann_json REQUIRED)
add_executable(e2e_json_schema_check ${CMAKE_CURRENT_LIST_DIR}/json_schema_check.cpp)
target_link_libraries(e2e_json_schema_check PRIVATE nlohmann_json::nlohmann_json)
korvel_warnings(e2e_json_schema_check)

# The subordinate runs take about eight seconds of the device's own fixed pauses.
foreach(case info program-device program-subordinate via-boot-refused precheck-truncated
        precheck-bad-marker precheck-type-13 precheck-too-long-late precheck-sub-bad-late
        route-mtu rewritten-file two-runs long-name device-controls many-devices interrupt
        json-info json-program-device json-program-subordinate trace-rejected trace-timeout
        log-file moved-image hang-up full-log hostile-arguments)
  add_test(NAME e2e_cli_${case}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/cli_e2e.sh ${case} $<TARGET_FILE:korvel-cli>
            $<TARGET_FILE:korvel-devsim> $<TARGET_FILE:e2e_cli_fixture>)
  set_tests_properties(e2e_cli_${case} PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120
    ENVIRONMENT KORVEL_JSON_CHECK=$<TARGET_FILE:e2e_json_schema_check>)
endforeach()
