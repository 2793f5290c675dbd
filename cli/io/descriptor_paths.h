// Names that stand for a descriptor of the process, such as /dev/stdout.
#pragma once

#include <optional>
#include <string>

namespace ansicrypt::cli {

// The descriptor that `path` names, itself or through symbolic links: /dev/stdin, /dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N, /proc/thread-self/fd/N, /proc/PID/fd/N with our PID.
// Nothing for any other path, or where /proc is not mounted.
std::optional<int> DescriptorNamedBy(const std::string& path);

}  // namespace ansicrypt::cli
