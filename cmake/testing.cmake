# Test executables run under Wine with one prefix per build folder. The
# prefix is created by the "wine_prefix_start" fixture, which also starts one
# persistent wineserver that "wine_prefix_stop" ends after the last test.
set(KELVO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

add_test(NAME wine_prefix_start
         COMMAND ${CMAKE_SOURCE_DIR}/tools/wine_prefix.sh start ${KELVO_WINEPREFIX})
set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
add_test(NAME wine_prefix_stop
         COMMAND ${CMAKE_SOURCE_DIR}/tools/wine_prefix.sh stop ${KELVO_WINEPREFIX})
set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

# The loopback HTTP test server (testing/servers/http_test_server.py), for
# the tests that name the fixture "http_test_server". They find it through
# the state file that KELVO_TEST_SERVER_INFO names, as a Windows path. The
# crash server plugin answers under /crash/.
set(KELVO_TEST_SERVER_DIR ${CMAKE_BINARY_DIR}/http_test_server)
set(KELVO_TEST_SERVER_SCRIPT ${CMAKE_SOURCE_DIR}/testing/servers/http_test_server.py)
string(REPLACE "/" "\\" KELVO_TEST_SERVER_INFO "Z:${KELVO_TEST_SERVER_DIR}/server.json")
add_test(NAME http_test_server_start
         COMMAND python3 ${KELVO_TEST_SERVER_SCRIPT} start
                 --state-dir ${KELVO_TEST_SERVER_DIR} --plugin crash_server)
set_tests_properties(http_test_server_start PROPERTIES
  FIXTURES_SETUP http_test_server TIMEOUT 60)
add_test(NAME http_test_server_stop
         COMMAND python3 ${KELVO_TEST_SERVER_SCRIPT} stop
                 --state-dir ${KELVO_TEST_SERVER_DIR})
set_tests_properties(http_test_server_stop PROPERTIES
  FIXTURES_CLEANUP http_test_server TIMEOUT 60)

# kelvo_test(NAME SOURCES ... [LIBS ...] [TIMEOUT seconds] [FIXTURES ...]
#            [RESOURCE_LOCK ...])
# One executable per group of related tests: every launch under Wine costs
# tens of milliseconds, so groups stay few and large. FIXTURES names further
# fixtures the tests need besides the Wine prefix and the registry check
# around the run ("registry_views", desktop/windows/installer/test); groups
# that share a RESOURCE_LOCK name never run at the same time.
#
# With SPLIT_OFF ENTRY FILTER (GoogleTest's filter syntax) the tests FILTER
# names run as a ctest entry ENTRY of their own, with the same properties,
# and the entry NAME runs the rest: each stays well within its time limit.
function(kelvo_test name)
  cmake_parse_arguments(T "" "TIMEOUT"
                        "SOURCES;LIBS;FIXTURES;RESOURCE_LOCK;SPLIT_OFF"
                        ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kelvo_test_main)
  set(entries ${name})
  if(T_SPLIT_OFF)
    list(GET T_SPLIT_OFF 0 split_entry)
    list(GET T_SPLIT_OFF 1 split_filter)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1
                                  --gtest_filter=-${split_filter})
    add_test(NAME ${split_entry} COMMAND ${name} --gtest_brief=1
                                         --gtest_filter=${split_filter})
    list(APPEND entries ${split_entry})
  else()
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  endif()
  set(environment "WINEPREFIX=${KELVO_WINEPREFIX}")
  if("http_test_server" IN_LIST T_FIXTURES)
    list(APPEND environment "KELVO_TEST_SERVER_INFO=${KELVO_TEST_SERVER_INFO}")
  endif()
  set_tests_properties(${entries} PROPERTIES
    FIXTURES_REQUIRED "wine;registry_views;${T_FIXTURES}"
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "${environment}")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${entries} PROPERTIES
                         RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
endfunction()

# The Linux-side tools that run the installer by hand and tell what it did.
add_test(NAME tools_unittests
         COMMAND python3 -m unittest discover
                 -s ${CMAKE_SOURCE_DIR}/tools/test -p *_test.py)
set_tests_properties(tools_unittests PROPERTIES TIMEOUT 120)
