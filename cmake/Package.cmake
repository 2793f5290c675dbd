# Packages made by CPack from the install rules (cpack -G DEB, or TGZ, in a build directory):
# Debian packages "ansicrypt" (the tool, its man page, the Python module, the SQLite extension),
# "libansicrypt-dev" (headers, the library, CMake and pkg-config files) and, when the PostgreSQL
# extension is built, "postgresql-<major>-ansicrypt", all under /usr; and one .tar.gz of
# everything. Each Debian package has its copyright file (machine-readable, every licence of
# THIRD_PARTY_NOTICES.md) and its changelog.gz, made from CHANGELOG.md, in its doc folder; lintian
# reports nothing on them (tests/package/lintian.sh).
set(ANSICRYPT_PACKAGE_MAINTAINER
    "ansicrypt maintainers <maintainers@users.noreply.c-seed-17a917e9.example>"
    CACHE STRING "The Maintainer of the Debian packages, and the author of their changelog entries")
set(CPACK_PACKAGE_NAME ansicrypt)
set(CPACK_PACKAGE_VENDOR "the ansicrypt authors")
set(CPACK_PACKAGE_CONTACT "${ANSICRYPT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL tool dev)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ansicrypt)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libansicrypt-dev)
set(package_of_tool ansicrypt)
set(package_of_dev libansicrypt-dev)
if(TARGET ansicrypt_postgres)
  list(APPEND CPACK_COMPONENTS_ALL postgres)
  set(CPACK_DEBIAN_POSTGRES_PACKAGE_NAME postgresql-${ANSICRYPT_POSTGRES_MAJOR}-ansicrypt)
  set(package_of_postgres postgresql-${ANSICRYPT_POSTGRES_MAJOR}-ansicrypt)
  set(CPACK_DEBIAN_POSTGRES_PACKAGE_SECTION database)
  set(CPACK_DEBIAN_POSTGRES_PACKAGE_DEPENDS "postgresql-${ANSICRYPT_POSTGRES_MAJOR}")
  set(CPACK_COMPONENT_POSTGRES_DESCRIPTION
      "The PostgreSQL extension (CREATE EXTENSION ansicrypt). For legacy data only.")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOL_PACKAGE_SUGGESTS "python3, sqlite3")
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "g++ (>= 4:12), pkg-config")
# The extended descriptions, under the summary as synopsis; lines within 80 columns.
set(CPACK_COMPONENT_TOOL_DESCRIPTION
    "The command-line tool, its man page, the Python module and the SQLite\n extension. For legacy data only.")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "The C++20 library, its headers and its CMake and pkg-config files. For legacy\n data only.")

# The tool's package removes what Python compiles beside the module's sources.
if(TARGET ansicrypt_python)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/ansicrypt.prerm
                 ${PROJECT_BINARY_DIR}/debian/tool/prerm COPYONLY)
  set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/tool/prerm)
  set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

# Each package's copyright file and changelog, in its own doc folder.
find_package(Python3 COMPONENTS Interpreter)
set(debian_changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)
if(Python3_Interpreter_FOUND)
  add_custom_command(
    OUTPUT ${debian_changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/debian
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/debian_changelog.py
            ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${ANSICRYPT_PACKAGE_MAINTAINER} ${debian_changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/tools/debian_changelog.py
    COMMENT "Writing the Debian changelog" VERBATIM)
  add_custom_target(ansicrypt_debian_changelog ALL DEPENDS ${debian_changelog})
else()
  message(STATUS "ansicrypt: the Debian packages have no changelog (python3 is needed)")
endif()
foreach(component ${CPACK_COMPONENTS_ALL})
  set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package_of_${component}})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${doc_dir}
          COMPONENT ${component})
  if(Python3_Interpreter_FOUND)
    install(FILES ${debian_changelog} DESTINATION ${doc_dir} COMPONENT ${component})
  endif()
endforeach()
include(CPack)
