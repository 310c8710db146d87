# Helpers shared by every layer: each layer is one library built from the sources it names,
# and each test folder is one GoogleTest executable linking the layer it tests.
include_guard(GLOBAL)

# dov_layer(NAME SOURCES files... DEPS libs...) : library `dov_<NAME>`, public include root src/.
function(dov_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT L_SOURCES)
    message(FATAL_ERROR "dov_layer(${name}): no SOURCES")
  endif()
  add_library(dov_${name} STATIC ${L_SOURCES})
  target_include_directories(dov_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(dov_${name} PUBLIC ${L_DEPS})
endfunction()

# dov_gtest(NAME SOURCES files... LIBS libs...) : executable `test_<NAME>`, registered with CTest.
function(dov_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT T_SOURCES)
    message(FATAL_ERROR "dov_gtest(${name}): no SOURCES")
  endif()
  add_executable(test_${name} ${T_SOURCES})
  target_link_libraries(test_${name} PRIVATE dov_testsupport ${T_LIBS} GTest::gtest_main GTest::gmock)
  gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "DOVRETH_TEST_BIN_DIR=${CMAKE_BINARY_DIR}")
endfunction()
