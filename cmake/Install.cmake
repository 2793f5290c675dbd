# Install rules: headers (never the detail/ ones), the library, an exported target set with config
# and version files for find_package(ansicrypt CONFIG), and a pkg-config file (component dev);
# the licence, notices and changelog (component tool, with the tool and the bindings).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/ansicrypt/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ansicrypt COMPONENT dev
        FILES_MATCHING PATTERN "*.h"
        PATTERN "detail" EXCLUDE)
install(TARGETS ansicrypt EXPORT ansicryptTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT dev)

set(ANSICRYPT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ansicrypt)
install(EXPORT ansicryptTargets NAMESPACE ansicrypt:: DESTINATION ${ANSICRYPT_CMAKE_DIR}
        COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ansicryptConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ansicryptConfig.cmake
                              INSTALL_DESTINATION ${ANSICRYPT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ansicryptConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ansicryptConfig.cmake
              ${PROJECT_BINARY_DIR}/ansicryptConfigVersion.cmake
        DESTINATION ${ANSICRYPT_CMAKE_DIR} COMPONENT dev)

# The pkg-config file finds the prefix from where it lies, so that it stays right in a package
# installed under another prefix than the build's.
file(RELATIVE_PATH ANSICRYPT_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${PROJECT_SOURCE_DIR}/cmake/ansicrypt.pc.in ${PROJECT_BINARY_DIR}/ansicrypt.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ansicrypt.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)
# On Windows the tool's folder holds them beside the .exe.
if(WIN32)
  set(ANSICRYPT_TOOL_DOC_DIR .)
else()
  set(ANSICRYPT_TOOL_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD_PARTY_NOTICES.md
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${ANSICRYPT_TOOL_DOC_DIR} COMPONENT tool)
