// Descriptor names recognised by where they lead: a number in this process's descriptor folder.
#include "cli/io/descriptor_paths.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace ansicrypt::cli {
namespace {

std::optional<std::string> RealPath(const std::filesystem::path& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
  if (!real) return std::nullopt;
  return std::string(real.get());
}

// A descriptor number: decimal digits, not too many.
std::optional<int> DescriptorNumber(const std::string& name) {
  if (name.empty() || name.size() > 9) return std::nullopt;
  int number = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  return number;
}

}  // namespace

std::optional<int> DescriptorNamedBy(const std::string& path) {
  const std::optional<std::string> folders[] = {RealPath("/proc/self/fd"),
                                                RealPath("/proc/thread-self/fd")};
  std::filesystem::path current = path;
  for (int links = 0; links < 40; ++links) {
    const std::filesystem::path parent =
        current.has_parent_path() ? current.parent_path() : std::filesystem::path(".");
    if (const std::optional<int> number = DescriptorNumber(current.filename().string())) {
      const std::optional<std::string> folder = RealPath(parent);
      for (const auto& descriptors : folders) {
        if (folder && descriptors && *folder == *descriptors) return number;
      }
    }
    // Otherwise follow one link: /dev/stdout leads to /proc/self/fd/1.
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return std::nullopt;
    std::error_code error;
    const std::filesystem::path next = std::filesystem::read_symlink(current, error);
    if (error) return std::nullopt;
    current = next.is_absolute() ? next : parent / next;
  }
  return std::nullopt;
}

}  // namespace ansicrypt::cli
