# IBM Z (s390x): big-endian, so every word of the legacy formats goes through its stated byte order.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(ANSICRYPT_TARGET_ARCH s390x)
set(ANSICRYPT_TARGET_TRIPLET s390x-linux-gnu)
set(ANSICRYPT_QEMU_NAME s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian_cross.cmake)
