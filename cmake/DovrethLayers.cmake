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

# dov_layer_includes(TARGET LAYER [DIR dir] [FILES files...] ALLOWED layers... [NAME name]) :
# TARGET fails to build when a source or header under src/DIR (or one of FILES) includes a
# header of a layer other than LAYER and ALLOWED. The check runs again whenever one of those
# files changes. NAME tells two checks of one target apart.
function(dov_layer_includes target layer)
  cmake_parse_arguments(C "" "DIR;NAME" "ALLOWED;FILES" ${ARGN})
  if(NOT C_NAME)
    set(C_NAME ${layer})
  endif()
  set(files ${C_FILES})
  if(C_DIR)
    file(GLOB dir_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${C_DIR}/*.cpp
         ${PROJECT_SOURCE_DIR}/src/${C_DIR}/*.h)
    list(APPEND files ${dir_files})
  endif()
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_${C_NAME}_includes.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} "-DLAYER=${layer}" "-DALLOWED=${C_ALLOWED}" "-DFILES=${files}"
            -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake
    COMMENT "Checking the includes of ${layer}" VERBATIM)
  add_custom_target(${target}_${C_NAME}_includes DEPENDS ${stamp})
  add_dependencies(${target} ${target}_${C_NAME}_includes)
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
