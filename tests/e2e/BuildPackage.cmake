# cmake -DBUILD=<build tree> -DCPACK=<cpack> -DOUT=<dir> -P BuildPackage.cmake
# The Debian package of the build, as `cpack -G DEB` makes it, alone in OUT.
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND "${CPACK}" -G DEB -B "${OUT}" WORKING_DIRECTORY "${BUILD}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  message(FATAL_ERROR "cpack -G DEB failed:\n${output}")
endif()
file(REMOVE_RECURSE "${OUT}/_CPack_Packages")
