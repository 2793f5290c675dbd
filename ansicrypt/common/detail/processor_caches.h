// What the processor says about its caches, for buffers sized to stay in them.
#pragma once

#include <cstddef>

namespace ansicrypt::detail {

// The second-level cache of a core in bytes, or 0 when the processor or the system does not say.
std::size_t SecondLevelCacheBytes();

}  // namespace ansicrypt::detail
