// What a replacement keeps of the file it replaces: owner and group, extended attributes and with
// them the POSIX access control list, and the mode (set last by the caller).
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

namespace ansicrypt::cli {

// Gives the file open at `fd` the owner and group of `original`. Returns what could not be kept,
// in words ("its owner (Operation not permitted)"), or nothing.
std::optional<std::string> TakeOwnerAndGroup(int fd, const struct stat& original);

// Gives the file open at `fd` exactly the extended attributes of the file at `originalPath`: the
// same names with the same values, the access control list (system.posix_acl_access) among them,
// and none else (not one inherited from the folder's default ACL). Returns what could not be kept,
// in words, or nothing.
std::optional<std::string> TakeExtendedAttributes(int fd, const std::string& originalPath);

}  // namespace ansicrypt::cli
