# ARM64 (aarch64), little-endian: the portable paths without x86's SIMD.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(ANSICRYPT_TARGET_ARCH arm64)
set(ANSICRYPT_TARGET_TRIPLET aarch64-linux-gnu)
set(ANSICRYPT_QEMU_NAME aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian_cross.cmake)
