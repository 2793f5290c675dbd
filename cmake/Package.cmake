# Packages made by CPack from the install rules (cpack -G DEB, or TGZ, in a build directory):
# Debian packages "ansicrypt" (the tool, its man page, the Python module, the SQLite extension),
# "libansicrypt-dev" (headers, the library, CMake and pkg-config files) and, when the PostgreSQL
# extension is built, "postgresql-<major>-ansicrypt", all under /usr; and one .tar.gz of
# everything.
set(CPACK_PACKAGE_NAME ansicrypt)
set(CPACK_PACKAGE_VENDOR "the ansicrypt authors")
set(CPACK_PACKAGE_CONTACT "the ansicrypt authors <ansicrypt@invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL tool dev)
if(TARGET ansicrypt_postgres)
  list(APPEND CPACK_COMPONENTS_ALL postgres)
  set(CPACK_DEBIAN_POSTGRES_PACKAGE_NAME postgresql-${ANSICRYPT_POSTGRES_MAJOR}-ansicrypt)
  set(CPACK_DEBIAN_POSTGRES_PACKAGE_SECTION database)
  set(CPACK_DEBIAN_POSTGRES_PACKAGE_DEPENDS "postgresql-${ANSICRYPT_POSTGRES_MAJOR}")
  set(CPACK_COMPONENT_POSTGRES_DESCRIPTION
      "Byte-exact DES, triple DES, MD5 and Base64 of a legacy Windows program: the PostgreSQL\n extension (CREATE EXTENSION ansicrypt). For legacy data only.")
endif()
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ansicrypt)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libansicrypt-dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOL_PACKAGE_SUGGESTS "python3, sqlite3")
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "g++ (>= 4:12), pkg-config")
set(CPACK_COMPONENT_TOOL_DESCRIPTION
    "Byte-exact DES, triple DES, MD5 and Base64 of a legacy Windows program: the tool, its man\n page, the Python module and the SQLite extension. For legacy data only.")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "Byte-exact DES, triple DES, MD5 and Base64 of a legacy Windows program: the C++20 library,\n its headers and its CMake and pkg-config files. For legacy data only.")
include(CPack)
