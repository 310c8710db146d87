# Helpers shared by every layer: each layer is one library built from the .cpp files of its
# folder, and each test folder is one GoogleTest executable.
include_guard(GLOBAL)

# dov_layer(NAME DIR DEPS...) : library `dov_<NAME>` from DIR/*.cpp, public include root src/.
function(dov_layer name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  file(GLOB _hdrs CONFIGURE_DEPENDS ${dir}/*.h)
  if(_srcs)
    add_library(dov_${name} STATIC ${_srcs} ${_hdrs})
    target_include_directories(dov_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(dov_${name} PUBLIC ${ARGN})
  else()
    add_library(dov_${name} INTERFACE)
    target_include_directories(dov_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(dov_${name} INTERFACE ${ARGN})
  endif()
endfunction()

# dov_gtest_dir(NAME DIR LIBS...) : executable `test_<NAME>` from DIR/*.cpp, registered with CTest.
function(dov_gtest_dir name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(test_${name} ${_srcs})
  target_link_libraries(test_${name} PRIVATE dov_testsupport ${ARGN} GTest::gtest_main GTest::gmock)
  gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "DOVRETH_TEST_BIN_DIR=${CMAKE_BINARY_DIR}")
endfunction()
