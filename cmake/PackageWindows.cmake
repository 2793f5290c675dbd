# The Windows package made by CPack from the install rules (cpack -G ZIP in a Windows build): one
# .zip holding a folder with ansicrypt.exe (static, it needs no DLL), its manual as plain text, the
# licence, the notices and the changelog, and the licences of the MinGW-w64 and GCC runtime
# libraries linked into the .exe (their Debian copyright files).
set(CPACK_PACKAGE_NAME ansicrypt)
set(CPACK_PACKAGE_VENDOR "the ansicrypt authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool)
set(CPACK_PACKAGE_FILE_NAME ansicrypt-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)

foreach(runtime "mingw-w64-x86-64-dev:mingw-w64-runtime"
                "gcc-mingw-w64-x86-64-posix-runtime:gcc-runtime")
  string(REPLACE ":" ";" runtime "${runtime}")
  list(GET runtime 0 debian_package)
  list(GET runtime 1 name)
  set(copyright /usr/share/doc/${debian_package}/copyright)
  if(NOT EXISTS ${copyright})
    message(FATAL_ERROR "ansicrypt: ${copyright} is missing; the Windows package must carry it")
  endif()
  install(FILES ${copyright} DESTINATION licenses RENAME ${name}.txt COMPONENT tool)
endforeach()
include(CPack)
