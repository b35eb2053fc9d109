# The matrix's executables for the build machine: e2e_tests, e2e_pty (a program's console
# on a pseudo-terminal, PtyConsole.cpp) and gavrelo_unprivileged. Included by this
# directory's CMakeLists.txt in a Linux build, and by host/CMakeLists.txt, the host project
# the Windows configuration builds to run the matrix on its tree under Wine.
# Needs: GAVRELO_E2E_ROOT, GAVRELO_E2E_PACKAGE, GAVRELO_E2E_WORK, GTest and nlohmann_json.
set(e2e_dir ${CMAKE_CURRENT_LIST_DIR})
add_executable(gavrelo_unprivileged ${e2e_dir}/Unprivileged.cpp)
add_executable(e2e_pty ${e2e_dir}/PtyConsole.cpp)
add_executable(e2e_tests ${e2e_dir}/EndToEndTest.cpp)
target_link_libraries(e2e_tests PRIVATE GTest::gtest_main nlohmann_json::nlohmann_json)
target_compile_definitions(e2e_tests PRIVATE
  GAVRELO_E2E_DEFAULT_ROOT="${GAVRELO_E2E_ROOT}"
  GAVRELO_E2E_DEFAULT_PACKAGE="${GAVRELO_E2E_PACKAGE}"
  GAVRELO_E2E_WORK="${GAVRELO_E2E_WORK}"
  GAVRELO_E2E_UNPRIVILEGED="$<TARGET_FILE:gavrelo_unprivileged>")
