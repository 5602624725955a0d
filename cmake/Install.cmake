# Installs the libraries, the tool, the public headers, a CMake package
# config and a pkg-config file naming the prefix the install went to (the one
# given to `cmake --install --prefix`, not only the configured one).
#
# Public headers are every header below src/ except the internal ones, which
# only the library's own sources include and which no public header includes:
# every *_internal.h, and the headers named in fh_internal_headers (a
# provider's or a dialect's own parts, reached by applications only through
# the provider and dialect tables). The list is written to
# fernhall_internal_headers.txt in the build tree, where the installed
# package consumer test reads it.
include(CMakePackageConfigHelpers)

set(fh_internal_headers
  # The per-dialect generator entry points: applications find a dialect
  # with FindSQLDialect (sql/sql_dialects.h).
  sql/firebird_dialect.h
  sql/mysql_dialect.h
  sql/pgsql_dialect.h
  sql/sqlite_dialect.h
  # The ODBC provider's call table and its prepared statements: they need
  # the ODBC headers, whose Windows type names an application must not get.
  db/odbc/odbc_api.h
  db/odbc/odbc_prepared.h
  # The native SQLite provider's parts on the sqlite3 C API.
  db/sqlite/sqlite_connection.h
  db/sqlite/sqlite_errors.h
  db/sqlite/sqlite_prepared.h
  db/sqlite/sqlite_types.h)
set(fh_internal_header_excludes "")
foreach(header IN LISTS fh_internal_headers)
  if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/${header})
    message(FATAL_ERROR "internal header src/${header} does not exist")
  endif()
  string(REPLACE "." "\\." header_regex "${header}")
  list(APPEND fh_internal_header_excludes REGEX "/src/${header_regex}$" EXCLUDE)
endforeach()
list(JOIN fh_internal_headers "\n" fh_internal_header_lines)
file(WRITE ${PROJECT_BINARY_DIR}/fernhall_internal_headers.txt "${fh_internal_header_lines}\n")

install(TARGETS fernhall fernhall_static
  EXPORT fernhallTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(FH_HAVE_TOOL)
  install(TARGETS fhprereqhandler RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/fernhall
  FILES_MATCHING PATTERN "*.h"
  PATTERN "*_internal.h" EXCLUDE
  ${fh_internal_header_excludes})
install(EXPORT fernhallTargets NAMESPACE fernhall::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/fernhall)

file(WRITE ${PROJECT_BINARY_DIR}/fernhallConfig.cmake.in [=[
@PACKAGE_INIT@
include(CMakeFindDependencyMacro)
find_dependency(Threads)
find_dependency(PkgConfig)
pkg_check_modules(LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)
pkg_check_modules(ODBC REQUIRED IMPORTED_TARGET odbc)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
include("${CMAKE_CURRENT_LIST_DIR}/fernhallTargets.cmake")
]=])
configure_package_config_file(${PROJECT_BINARY_DIR}/fernhallConfig.cmake.in
  ${PROJECT_BINARY_DIR}/fernhallConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/fernhall)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/fernhallConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/fernhallConfig.cmake
  ${PROJECT_BINARY_DIR}/fernhallConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/fernhall)

# The body is configured now; the prefix line is written at install time,
# when CMAKE_INSTALL_PREFIX holds the prefix actually installed to.
file(WRITE ${PROJECT_BINARY_DIR}/fernhall.pc.in [=[
libdir=${prefix}/@CMAKE_INSTALL_LIBDIR@
includedir=${prefix}/@CMAKE_INSTALL_INCLUDEDIR@/fernhall

Name: fernhall
Description: The agent's shared library: logging, registry, utilities and persistence framework
Version: @PROJECT_VERSION@
Requires: libxml-2.0 odbc sqlite3
Libs: -L${libdir} -lfernhall
Libs.private: -lpthread
Cflags: -I${includedir}
]=])
configure_file(${PROJECT_BINARY_DIR}/fernhall.pc.in ${PROJECT_BINARY_DIR}/fernhall.pc.body @ONLY)
install(CODE "set(FH_PC_DIR \"${PROJECT_BINARY_DIR}\")")
install(CODE [=[
  file(READ "${FH_PC_DIR}/fernhall.pc.body" FH_PC_BODY)
  file(WRITE "${FH_PC_DIR}/fernhall.pc" "prefix=${CMAKE_INSTALL_PREFIX}\n${FH_PC_BODY}")
]=])
install(FILES ${PROJECT_BINARY_DIR}/fernhall.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
