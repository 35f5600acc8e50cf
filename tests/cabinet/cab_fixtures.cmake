# Cabinets made by gcab, with the contents cabextract gives for them, for the
# cabinet test binary of either target (made again by every test run).
set(CAB_FIXTURE_DIR ${CMAKE_BINARY_DIR}/cab-fixtures)
if(WIN32)
  set(cab_fixture_test win_cabinet_fixtures)
else()
  set(cab_fixture_test host_cabinet_fixtures)
endif()
get_property(cab_suite_tests GLOBAL PROPERTY INSTALLER_CTEST_NAMES_cabinet)
add_test(NAME ${cab_fixture_test}
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/make_cab_fixtures.sh ${CAB_FIXTURE_DIR})
set_tests_properties(${cab_fixture_test} PROPERTIES FIXTURES_SETUP cab_fixtures TIMEOUT 120)
if(TARGET cabinet_tests)
  set_tests_properties(${cab_suite_tests} PROPERTIES FIXTURES_REQUIRED cab_fixtures)
  target_compile_definitions(cabinet_tests PRIVATE CAB_FIXTURE_DIR="${CAB_FIXTURE_DIR}")
endif()
