# korvel-cli against korvel-devsim over real ICMP, each case in a namespace of its own made by
# scripts/with-devsim. Included from tests/e2e/CMakeLists.txt.
if(NOT TARGET korvel-cli OR NOT TARGET korvel-devsim)
  return()
endif()

add_executable(e2e_cli_fixture ${CMAKE_CURRENT_LIST_DIR}/cli_e2e_fixture.cpp)
target_link_libraries(e2e_cli_fixture PRIVATE korvel_device_model)
target_include_directories(e2e_cli_fixture PRIVATE ${PROJECT_SOURCE_DIR}/src)
korvel_warnings(e2e_cli_fixture)

# The JSON lines of --json and --log-file are checked against the schemas in data/ by
# json_schema_check.py (python3-jsonschema).

# The subordinate runs take about eight seconds of the device's own fixed pauses.
foreach(case info program-device program-subordinate via-boot-refused precheck-truncated
        precheck-bad-marker precheck-type-13 precheck-too-long-late precheck-sub-bad-late
        precheck-sub-turns-late precheck-sub-leaves-late
        route-mtu rewritten-file two-runs two-users two-namespaces long-name device-controls
        many-devices interrupt
        json-info json-program-device json-program-subordinate trace-rejected trace-timeout
        log-file demands-refused moved-image hang-up full-log hostile-arguments)
  add_test(NAME e2e_cli_${case}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/cli_e2e.sh ${case} $<TARGET_FILE:korvel-cli>
            $<TARGET_FILE:korvel-devsim> $<TARGET_FILE:e2e_cli_fixture>)
  set_tests_properties(e2e_cli_${case} PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120
    ENVIRONMENT KORVEL_JSON_CHECK=${CMAKE_CURRENT_LIST_DIR}/json_schema_check.py)
endforeach()

# A bench of devices at one address, each behind a veth pair of its own.
add_test(NAME e2e_bench_four-ports
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/bench_e2e.sh four-ports $<TARGET_FILE:korvel-cli>
          $<TARGET_FILE:korvel-devsim> $<TARGET_FILE:e2e_cli_fixture>)
add_test(NAME e2e_bench_four-ports-in-turn
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/bench_e2e.sh four-ports-in-turn $<TARGET_FILE:korvel-cli>
          $<TARGET_FILE:korvel-devsim> $<TARGET_FILE:e2e_cli_fixture>)
add_test(NAME e2e_bench_two-runs-two-ports
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/bench_e2e.sh two-runs-two-ports $<TARGET_FILE:korvel-cli>
          $<TARGET_FILE:korvel-devsim> $<TARGET_FILE:e2e_cli_fixture>)
set_tests_properties(e2e_bench_four-ports e2e_bench_four-ports-in-turn
  e2e_bench_two-runs-two-ports PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120)
