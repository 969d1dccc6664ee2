# One static library per source folder: the build states the layers. A
# folder's CMakeLists.txt names its library and the libraries it may use;
# tools/check_includes.py holds the same layers for the includes.

# kelvo_library(NAME [DEPS library...])
# The .cc and .h files of the calling folder, not of its subfolders and not
# its tests.
function(kelvo_library name)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cc ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "_unittest\\.cc$")
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${L_DEPS})
endfunction()

# kelvo_add_tests(GROUP)
# Adds the calling folder's *_unittest.cc files to the test executable of
# GROUP (see kelvo_test_group), and its *_pre_vista_unittest.cc files, the
# tests of the branches for Windows before Vista, to that of the group
# GROUP_pre_vista.
function(kelvo_add_tests group)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_unittest.cc)
  set(pre_vista_tests ${tests})
  list(FILTER tests EXCLUDE REGEX "_pre_vista_unittest\\.cc$")
  list(FILTER pre_vista_tests INCLUDE REGEX "_pre_vista_unittest\\.cc$")
  set_property(GLOBAL APPEND PROPERTY kelvo_test_sources_${group} ${tests})
  set_property(GLOBAL APPEND PROPERTY kelvo_test_sources_${group}_pre_vista
               ${pre_vista_tests})
endfunction()

# kelvo_test_group(GROUP NAME [LIBS ...] [SOURCES ...] [FIXTURES ...])
# The test executable NAME of everything kelvo_add_tests gave GROUP so far.
function(kelvo_test_group group name)
  cmake_parse_arguments(G "" "" "LIBS;SOURCES;FIXTURES" ${ARGN})
  get_property(tests GLOBAL PROPERTY kelvo_test_sources_${group})
  kelvo_test(${name} SOURCES ${tests} ${G_SOURCES} LIBS ${G_LIBS}
             FIXTURES ${G_FIXTURES})
endfunction()
