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

# kelvo_test(NAME SOURCES ... [LIBS ...] [TIMEOUT seconds])
# One executable per group of related tests: every launch under Wine costs
# tens of milliseconds, so groups stay few and large.
function(kelvo_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kelvo_test_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "WINEPREFIX=${KELVO_WINEPREFIX}")
endfunction()

# The Linux-side tools that run the installer by hand and tell what it did.
add_test(NAME tools_unittests
         COMMAND python3 -m unittest discover
                 -s ${CMAKE_SOURCE_DIR}/tools/test -p *_test.py)
set_tests_properties(tools_unittests PROPERTIES TIMEOUT 120)
