// The Windows errors a file operation can meet, each with its errno; EIO for the rest.
#include "ansicrypt/platform/detail/windows_errors.h"

#include <windows.h>

#include <cerrno>

namespace ansicrypt::platform::detail {

int ErrnoOfWindowsError(unsigned long error) {
  int value = EIO;
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      value = ENOENT;
      break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      value = EINVAL;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:  // the old file is held open by another program
      value = EACCES;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      value = EEXIST;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      value = ENOSPC;
      break;
    case ERROR_WRITE_PROTECT:
      value = EROFS;
      break;
    case ERROR_NOT_SAME_DEVICE:
      value = EXDEV;
      break;
    case ERROR_DIRECTORY:
      value = ENOTDIR;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
      value = ENAMETOOLONG;
      break;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      value = EPIPE;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      value = ENOMEM;
      break;
    case ERROR_INVALID_HANDLE:
      value = EBADF;
      break;
    case ERROR_USER_MAPPED_FILE:  // mapped into memory by another program
      value = EBUSY;
      break;
    case ERROR_TOO_MANY_OPEN_FILES:
      value = EMFILE;
      break;
    default:
      break;
  }
  return value;
}

}  // namespace ansicrypt::platform::detail
