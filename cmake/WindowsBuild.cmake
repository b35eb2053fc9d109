# The Windows configuration (WIN32, cross-built with a mingw-w64 toolchain file): the
# libraries that Debian ships for Linux only are built here for Windows, and the tests run
# under Wine in a prefix inside the build tree.
#
#   GoogleTest   from Debian's googletest source package (/usr/src/googletest);
#   tinyxml2     from its Debian source package, unpacked at configure time into
#                _deps/tinyxml2 (cmake/debian-source.sh), or from GAVRELO_TINYXML2_SOURCE;
#   nlohmann-json, CLI11   header-only: their Debian headers, staged in a directory of
#                their own so that no other Linux header reaches the Windows compiler.
enable_language(RC)
set(GAVRELO_BENCH OFF)
# -O2 as the Linux builds: gcc 12's -O3 inlining reports false -Wrestrict overlaps in
# std::string concatenation.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")

set(GAVRELO_DEPS_DIR ${CMAKE_BINARY_DIR}/_deps)
set(staged ${GAVRELO_DEPS_DIR}/include)
file(MAKE_DIRECTORY ${staged})
foreach(header_dir nlohmann CLI)
  if(NOT EXISTS /usr/include/${header_dir})
    message(FATAL_ERROR "/usr/include/${header_dir} is missing: install nlohmann-json3-dev and libcli11-dev")
  endif()
  if(NOT EXISTS ${staged}/${header_dir})
    file(CREATE_LINK /usr/include/${header_dir} ${staged}/${header_dir} SYMBOLIC)
  endif()
endforeach()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged}
                      INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${staged})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged}
                      INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${staged})

set(GAVRELO_TINYXML2_SOURCE "" CACHE PATH "tinyxml2 source tree (default: fetched from Debian into _deps)")
set(tinyxml2_dir ${GAVRELO_TINYXML2_SOURCE})
if(NOT tinyxml2_dir)
  set(tinyxml2_dir ${GAVRELO_DEPS_DIR}/tinyxml2)
  if(NOT EXISTS ${tinyxml2_dir}/tinyxml2.cpp)
    execute_process(COMMAND ${CMAKE_SOURCE_DIR}/cmake/debian-source.sh tinyxml2 ${tinyxml2_dir}
                    RESULT_VARIABLE fetched)
    if(NOT fetched EQUAL 0)
      message(FATAL_ERROR "tinyxml2 sources could not be fetched; set GAVRELO_TINYXML2_SOURCE")
    endif()
  endif()
endif()
add_library(tinyxml2_windows STATIC ${tinyxml2_dir}/tinyxml2.cpp)
target_include_directories(tinyxml2_windows SYSTEM PUBLIC ${tinyxml2_dir})
target_compile_options(tinyxml2_windows PRIVATE -w)
add_library(tinyxml2::tinyxml2 ALIAS tinyxml2_windows)

if(GAVRELO_TESTS)
  list(PREPEND CMAKE_MODULE_PATH ${CMAKE_SOURCE_DIR}/cmake/windows)
  add_subdirectory(/usr/src/googletest ${GAVRELO_DEPS_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(target gtest gtest_main gmock gmock_main)
    target_compile_options(${target} PRIVATE -w)
  endforeach()
  # googletest's own CMakeLists defines the GTest:: aliases. Every test executable gets the
  # watcher that reads and closes the message boxes its tests show.
  target_sources(gtest_main PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/DialogWatch.cpp)
  target_link_options(gtest_main INTERFACE -Wl,--undefined=GavreloTestDialogWatch)

  # The tests name the executables as on Linux, Bin/gavrelo and Bin/gavreloctl; the Windows
  # configuration places a copy of each .exe under that name too. Windows runs a program
  # file of any name when its path names a directory, so the tests read, copy and start
  # those files unchanged.
  set(names)
  foreach(tool gavrelo gavreloctl)
    # A stamp as the output: CMake would take the suffix-less path for the target itself.
    add_custom_command(OUTPUT ${GAVRELO_DEPS_DIR}/${tool}.named
                       COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${tool}> ${GAVRELO_BIN_DIR}/${tool}
                       COMMAND ${CMAKE_COMMAND} -E touch ${GAVRELO_DEPS_DIR}/${tool}.named
                       DEPENDS ${tool} VERBATIM)
    list(APPEND names ${GAVRELO_DEPS_DIR}/${tool}.named)
  endforeach()
  add_custom_target(gavrelo_test_names ALL DEPENDS ${names})

  # Every test (and test discovery) runs under Wine in the build tree's own prefix.
  set(GAVRELO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${GAVRELO_WINE_PREFIX})
  # Every build ends with Wine started in the prefix (made on first use), whose server then
  # stays up for five minutes: test discovery, which has a few seconds per executable,
  # never waits for Wine's first start.
  add_custom_target(gavrelo_wine_prefix ALL
                    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} cmd /c exit
                    COMMENT "Starting Wine in ${GAVRELO_WINE_PREFIX}" VERBATIM)
endif()
