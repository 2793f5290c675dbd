// Owner, group and extended attributes copied onto a replacement (Linux).
#include "cli/io/posix/file_metadata.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <system_error>
#include <vector>

namespace ansicrypt::cli {
namespace {

std::string Because(const std::string& what, int error) {
  return what + " (" + std::generic_category().message(error) + ")";
}

std::string Describe(const std::string& name) {
  if (name == "system.posix_acl_access") return "its access control list";
  return "its extended attribute " + name;
}

// Calls `get(buffer, size)` with a buffer that grows until the answer fits; false with errno set
// when it fails for another reason.
template <class Get>
bool ReadGrowing(Get get, std::string& out) {
  for (std::size_t size = 256;; size *= 4) {
    out.resize(size);
    const ssize_t n = get(out.data(), out.size());
    if (n >= 0) {
      out.resize(static_cast<std::size_t>(n));
      return true;
    }
    if (errno != ERANGE || size > (1U << 26)) return false;
  }
}

// Names and values; a file system without extended attributes has none. False with errno set on
// another failure.
template <class List, class Get>
bool ReadAttributes(List list, Get get, std::map<std::string, std::string>& attributes) {
  std::string names;
  if (!ReadGrowing(list, names)) return errno == ENOTSUP;
  for (std::size_t at = 0; at < names.size();) {
    const std::string name = names.c_str() + at;
    at += name.size() + 1;
    std::string value;
    if (!ReadGrowing([&](char* buffer, std::size_t size) { return get(name, buffer, size); },
                     value)) {
      if (errno == ENODATA) continue;  // removed meanwhile
      return false;
    }
    attributes[name] = std::move(value);
  }
  return true;
}

}  // namespace

std::optional<std::string> TakeOwnerAndGroup(int fd, const struct stat& original) {
  struct stat now {};
  if (::fstat(fd, &now) != 0) return Because("its owner", errno);
  if (now.st_uid == original.st_uid && now.st_gid == original.st_gid) return std::nullopt;
  if (::fchown(fd, original.st_uid, original.st_gid) == 0) return std::nullopt;
  const int error = errno;
  return Because(now.st_uid != original.st_uid ? "its owner" : "its group", error);
}

std::optional<std::string> TakeExtendedAttributes(int fd, const std::string& originalPath) {
  std::map<std::string, std::string> wanted;
  const char* path = originalPath.c_str();
  if (!ReadAttributes([&](char* b, std::size_t n) { return ::listxattr(path, b, n); },
                      [&](const std::string& name, char* b, std::size_t n) {
                        return ::getxattr(path, name.c_str(), b, n);
                      },
                      wanted)) {
    return Because("its extended attributes", errno);
  }
  std::map<std::string, std::string> present;
  if (!ReadAttributes([&](char* b, std::size_t n) { return ::flistxattr(fd, b, n); },
                      [&](const std::string& name, char* b, std::size_t n) {
                        return ::fgetxattr(fd, name.c_str(), b, n);
                      },
                      present)) {
    return Because("its extended attributes", errno);
  }
  for (const auto& [name, value] : present) {
    if (wanted.count(name) == 0 && ::fremovexattr(fd, name.c_str()) != 0 && errno != ENODATA) {
      return Because("its access rights, without the folder's " + name, errno);
    }
  }
  for (const auto& [name, value] : wanted) {
    const auto it = present.find(name);
    if (it != present.end() && it->second == value) continue;
    if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
      return Because(Describe(name), errno);
    }
  }
  return std::nullopt;
}

}  // namespace ansicrypt::cli
