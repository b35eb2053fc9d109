# cmake -DBUILD=<build tree> -DROOT=<dir> -P InstallTree.cmake
# A fresh installed tree of the build for the end-to-end tests: what `cmake --install` gives.
file(REMOVE_RECURSE "${ROOT}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${ROOT}"
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install ${BUILD} --prefix ${ROOT} failed")
endif()
