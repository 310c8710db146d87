# Run by CTest: the package's description, as CPack gets it, reads as plain sentences.
#   cmake -DCONFIG=<build>/CPackConfig.cmake -P CheckPackageText.cmake
include("${CONFIG}")
if(NOT CPACK_PACKAGE_DESCRIPTION)
  message(FATAL_ERROR "no package description")
endif()
string(FIND "${CPACK_PACKAGE_DESCRIPTION}" ";" _at)
if(NOT _at EQUAL -1)
  message(FATAL_ERROR "list separator in the description: ${CPACK_PACKAGE_DESCRIPTION}")
endif()
