# Fails when a source includes a header of a layer it may not reach.
#   cmake -DLAYER=<name> -DALLOWED=<a;b;...> -DFILES=<f1;f2;...> [-DSTAMP=<file>] -P this
# An include "x/..." is allowed when x is the layer itself or one of ALLOWED; includes without a
# folder (system and Qt headers) are not looked at.
cmake_minimum_required(VERSION 3.25)
foreach(file IN LISTS FILES)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "\"([a-z_]+)/[^\"]*\"" hit "${line}")
    set(found "${CMAKE_MATCH_1}")
    if(NOT found STREQUAL LAYER AND NOT found IN_LIST ALLOWED)
      string(REPLACE ";" ", " allowed "${ALLOWED}")
      message(NOTICE "${file}: ${hit}: ${LAYER} may include only ${LAYER}/ and ${allowed}/")
      message(FATAL_ERROR "a file reaches a layer it may not use")
    endif()
  endforeach()
endforeach()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
