# GoogleTest's CMake module for the Windows configuration (found first on CMAKE_MODULE_PATH):
# the same functions, with a longer time for test discovery, whose listing run goes through
# Wine and may meet its start-up (the module's own limit is 5 seconds).
include(${CMAKE_ROOT}/Modules/GoogleTest.cmake)
# Redefining keeps the module's function as _gtest_discover_tests; a later include of the
# module and of this file restores the same pair.
function(gtest_discover_tests)
  _gtest_discover_tests(${ARGV} DISCOVERY_TIMEOUT 120)
endfunction()
