# The installed tree beyond Bin/, Conf/ and _Conf/, and the Debian package of it.
#
#   <prefix>/Bin/                 gavrelo, gavreloctl, Gavrelo.INI (install rules beside them)
#   <prefix>/Conf/, _Conf/        the XML model configuration (Conf/CMakeLists.txt)
#   <prefix>/share/gavrelo/boards the board files that stand alone
#   <prefix>/share/doc/gavrelo    README.md and docs/*.md
#   <prefix>/share/man/man1       gavrelo.1, gavreloctl.1
#
# The tree finds everything relative to the executables, so any prefix works:
#   cmake --install build --prefix /some/where
#
# `cpack -G DEB` (in the build tree) packages the same tree under /opt/gavrelo, and adds, for
# the package only, /usr/bin/gavrelo and /usr/bin/gavreloctl as relative links into it and the
# manual pages under /usr/share/man/man1, so both commands are on PATH and `man` finds them.
# Those files lie outside the prefix, so they belong to a component of their own that a plain
# `cmake --install` leaves out.

# Board files. One that reads images from outside the project (the q35 board, whose images
# lie beside it) would not load from the installed tree and is left out.
file(GLOB gavrelo_board_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/boards/*.json)
foreach(board ${gavrelo_board_files})
  file(READ ${board} text)
  if(NOT text MATCHES "\"file\"[ \t\r\n]*:[ \t\r\n]*\"\\.\\./")
    install(FILES ${board} DESTINATION share/gavrelo/boards)
  endif()
endforeach()

file(GLOB gavrelo_docs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${gavrelo_docs} DESTINATION share/doc/gavrelo)
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/gavrelo.1 ${CMAKE_SOURCE_DIR}/docs/man/gavreloctl.1
        DESTINATION share/man/man1)

# The package's own files outside /opt/gavrelo. CPack installs with CMAKE_INSTALL_PREFIX set
# to <staging>/opt/gavrelo, so the root of the package is two levels above the prefix.
set(GAVRELO_PACKAGE_PREFIX /opt/gavrelo)
set(gavrelo_man_dir ${CMAKE_SOURCE_DIR}/docs/man)
install(CODE "set(gavrelo_man_dir \"${gavrelo_man_dir}\")" COMPONENT package_links EXCLUDE_FROM_ALL)
install(CODE [[
  get_filename_component(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/../.." ABSOLUTE)
  file(MAKE_DIRECTORY "${root}/usr/bin" "${root}/usr/share/man/man1")
  foreach(tool gavrelo gavreloctl)
    # Relative, so the links also work in a package unpacked into a scratch root.
    file(CREATE_LINK ../../opt/gavrelo/Bin/${tool} "${root}/usr/bin/${tool}" SYMBOLIC)
    execute_process(COMMAND gzip -9 -n -c "${gavrelo_man_dir}/${tool}.1"
                    OUTPUT_FILE "${root}/usr/share/man/man1/${tool}.1.gz" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "gzip of ${tool}.1 failed")
    endif()
  endforeach()
]] COMPONENT package_links EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME gavrelo)
set(CPACK_PACKAGE_VENDOR "Gavrelo")
set(CPACK_PACKAGE_CONTACT "Gavrelo maintainers <gavrelo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Super I/O GPIO pin test for motherboards, with its companion gavreloctl")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${GAVRELO_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES TRUE)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# One package holding every component, the links included.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified package_links)
# The libraries the executables link, found by dpkg-shlibdeps where dpkg-dev is installed;
# otherwise the Debian 12 names of the same libraries. CPack picks the executables out with
# `file`, so without it cpack would stop with an error instead of packaging.
find_program(GAVRELO_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(GAVRELO_FILE file)
if(GAVRELO_DPKG_SHLIBDEPS AND GAVRELO_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libtinyxml2-9")
endif()
include(CPack)
