# Cross-compiling with Debian's cross compiler for ANSICRYPT_TARGET_TRIPLET, against the target's
# OpenSSL and GoogleTest unpacked by tools/cross_sysroot.sh, and running what was built (the
# code-page table generator during the build, the tests) under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${ANSICRYPT_TARGET_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ANSICRYPT_TARGET_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${ANSICRYPT_TARGET_TRIPLET})

# The preset passes the folder; the default is beside the build folders. try_compile reads this
# file again and must see the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ANSICRYPT_CROSS_LIBRARIES)
if(NOT ANSICRYPT_CROSS_LIBRARIES)
  get_filename_component(ANSICRYPT_CROSS_LIBRARIES
    "${CMAKE_CURRENT_LIST_DIR}/../../build/sysroot-${ANSICRYPT_TARGET_ARCH}" ABSOLUTE)
endif()
if(NOT EXISTS "${ANSICRYPT_CROSS_LIBRARIES}/.complete")
  message(FATAL_ERROR "The ${ANSICRYPT_TARGET_ARCH} libraries are missing: run "
                      "tools/cross_sysroot.sh ${ANSICRYPT_TARGET_ARCH} ${ANSICRYPT_CROSS_LIBRARIES}")
endif()
set(target_libraries "${ANSICRYPT_CROSS_LIBRARIES}/usr/lib/${ANSICRYPT_TARGET_TRIPLET}")
set(CMAKE_FIND_ROOT_PATH "${ANSICRYPT_CROSS_LIBRARIES}" "/usr/${ANSICRYPT_TARGET_TRIPLET}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# OpenSSL keeps its configuration headers in the architecture's include folder.
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
    "${ANSICRYPT_CROSS_LIBRARIES}/usr/include/${ANSICRYPT_TARGET_TRIPLET}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,${target_libraries}")

# qemu finds the target's C and C++ runtimes under -L, and OpenSSL's libcrypto in the unpacked
# libraries.
find_program(ANSICRYPT_QEMU qemu-${ANSICRYPT_QEMU_NAME}-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${ANSICRYPT_QEMU};-L;/usr/${ANSICRYPT_TARGET_TRIPLET};-E;LD_LIBRARY_PATH=${target_libraries}")

# The target's Python, where tools/cross_sysroot.sh unpacked it: run under qemu, it tells
# FindPython its headers and extension suffix and runs the Python module's tests, with pytest (pure
# Python) taken from the build machine.
set(target_python "${ANSICRYPT_CROSS_LIBRARIES}/usr/bin/python3.11")
if(EXISTS "${target_python}")
  set(python_wrapper "${CMAKE_BINARY_DIR}/target_python3")
  file(WRITE "${python_wrapper}"
       "#!/bin/sh\n"
       "export PYTHONPATH=\"\${PYTHONPATH:+\$PYTHONPATH:}/usr/lib/python3/dist-packages\"\n"
       "export PYTEST_DISABLE_PLUGIN_AUTOLOAD=1\n"
       "exec '${ANSICRYPT_QEMU}' -L '/usr/${ANSICRYPT_TARGET_TRIPLET}' "
       "-E 'LD_LIBRARY_PATH=${ANSICRYPT_CROSS_LIBRARIES}/lib/${ANSICRYPT_TARGET_TRIPLET}:${target_libraries}' "
       "-E 'PYTHONHOME=${ANSICRYPT_CROSS_LIBRARIES}/usr' '${target_python}' \"$@\"\n")
  file(CHMOD "${python_wrapper}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(Python3_EXECUTABLE "${python_wrapper}" CACHE FILEPATH "The target's Python, under qemu")
  # Its headers, given outright: the interpreter names them as it sees them, which the search
  # under CMAKE_FIND_ROOT_PATH would look for below the folder a second time.
  set(Python3_INCLUDE_DIR "${ANSICRYPT_CROSS_LIBRARIES}/usr/include/python3.11" CACHE PATH
      "The target's Python headers")
endif()
