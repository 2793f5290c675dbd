// Windows has no /dev/fd: no name stands for a descriptor (CON and NUL are devices, written as
// devices are).
#include "cli/io/descriptor_paths.h"

namespace ansicrypt::cli {

std::optional<int> DescriptorNamedBy(const std::string&) { return std::nullopt; }

}  // namespace ansicrypt::cli
