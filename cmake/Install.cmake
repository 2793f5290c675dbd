# Install rules: headers (never the detail/ ones), the library, an exported target set with config
# and version files for find_package(ansicrypt CONFIG), and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/ansicrypt/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ansicrypt
        FILES_MATCHING PATTERN "*.h"
        PATTERN "detail" EXCLUDE)
install(TARGETS ansicrypt EXPORT ansicryptTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(ANSICRYPT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ansicrypt)
install(EXPORT ansicryptTargets NAMESPACE ansicrypt:: DESTINATION ${ANSICRYPT_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ansicryptConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ansicryptConfig.cmake
                              INSTALL_DESTINATION ${ANSICRYPT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ansicryptConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ansicryptConfig.cmake
              ${PROJECT_BINARY_DIR}/ansicryptConfigVersion.cmake
        DESTINATION ${ANSICRYPT_CMAKE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/ansicrypt.pc.in ${PROJECT_BINARY_DIR}/ansicrypt.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ansicrypt.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
