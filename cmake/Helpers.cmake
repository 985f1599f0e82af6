# qm_library(NAME SOURCES... [LIBS ...])  a layer library with the project's include root
# qm_add_test(NAME SOURCES... [LIBS ...]) a GoogleTest executable, discovered by CTest
#                                         (run under Wine in the Windows build)

function(qm_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${A_LIBS} PRIVATE qm_warnings)
endfunction()

# The source and build folders as paths the test process can open on its platform (under
# Wine the Linux root is drive Z:); the test data is in tests/data of the source folder.
if(WIN32)
  set(QM_TEST_SOURCE_DIR "Z:${PROJECT_SOURCE_DIR}")
  set(QM_TEST_BINARY_DIR "Z:${PROJECT_BINARY_DIR}")
else()
  set(QM_TEST_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
  set(QM_TEST_BINARY_DIR "${PROJECT_BINARY_DIR}")
endif()

function(qm_add_test name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} qm_testsupport GTest::gmock GTest::gtest_main qm_warnings)
  # 600 s: under Wine on a loaded 2-core machine a test that takes a second alone has been seen
  # to wait minutes for the Wine server; a hung test still ends.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 600)
endfunction()
