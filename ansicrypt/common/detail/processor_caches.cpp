#include "ansicrypt/common/detail/processor_caches.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#elif defined(__linux__)
#include <unistd.h>
#endif

namespace ansicrypt::detail {

std::size_t SecondLevelCacheBytes() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  // Leaf 0x80000006, which Intel and AMD processors both have: ECX bits 31-16 give the L2 in KiB.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0x80000000, &eax, &ebx, &ecx, &edx) == 0 || eax < 0x80000006) return 0;
  if (__get_cpuid(0x80000006, &eax, &ebx, &ecx, &edx) == 0) return 0;
  return std::size_t{ecx >> 16} * 1024;
#elif defined(__linux__) && defined(_SC_LEVEL2_CACHE_SIZE)
  const long bytes = sysconf(_SC_LEVEL2_CACHE_SIZE);
  return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
#else
  return 0;
#endif
}

}  // namespace ansicrypt::detail
