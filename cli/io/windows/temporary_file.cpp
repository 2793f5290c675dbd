// Temporary output files on Windows: a named file beside the target, marked for deletion as soon
// as it is made (so that nothing is left behind whatever ends the process, TerminateProcess
// included), unmarked at the last moment and put in place by ReplaceFileW, which keeps the old
// file's attributes, access control list and creation time or fails, or, for a new file,
// MoveFileExW. Others may delete it, so that the Ctrl-C handler can remove it while it is open.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <random>
#include <system_error>
#include <utility>

#include "cli/io/signals.h"
#include "cli/io/temporary_file.h"
#include "cli/io/windows/system_error.h"
#include "cli/io/windows/wide_names.h"

namespace ansicrypt::cli {
namespace {

std::wstring RandomName(const wchar_t* suffix = L"") {
  static constexpr wchar_t kLetters[] =
      L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::wstring name = L".ansicrypt-";
  for (int i = 0; i < 6; ++i) name += kLetters[random() % (std::size(kLetters) - 1)];
  return name + suffix;
}

// Our own names are always well-formed.
std::wstring Wide(const std::string& wtf8) { return WideOfWtf8(wtf8).value_or(std::wstring()); }

bool MarkForDeletion(int fd, bool deleteOnClose) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleteOnClose ? TRUE : FALSE;
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

[[noreturn]] void Raise(DWORD error) { throw std::system_error(ErrorOfWindows(error)); }

}  // namespace

TemporaryFile::TemporaryFile(const std::filesystem::path& directory, mode_t)
    : directory_(directory) {
  for (int attempt = 0;; ++attempt) {
    const std::filesystem::path path = directory / RandomName();
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100)
        Raise(error);
      continue;
    }
    // Armed only once the file is ours: a name another process made is never deleted.
    name_ = Wtf8OfWide(path.native());
    SetCleanupFile(name_);
    fd_ = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd_ < 0) {
      ::CloseHandle(handle);
      Discard();
      throw std::system_error(std::make_error_code(std::errc::too_many_files_open));
    }
    // Where the file system cannot mark it, the name and the Ctrl-C handler remove it.
    MarkForDeletion(fd_, true);
    return;
  }
}

TemporaryFile::~TemporaryFile() { Discard(); }

void TemporaryFile::Discard() {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
  if (!name_.empty()) {
    ::DeleteFileW(Wide(name_).c_str());
    ClearCleanupFile();
    name_.clear();
  }
}

void TemporaryFile::Replace(const std::string& target) {
  if (!MarkForDeletion(fd_, false)) {
    const DWORD error = ::GetLastError();
    // Unmarked it could not be: it would vanish at its close, so it is not put in place.
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED) {
      Discard();
      Raise(error);
    }
  }
  const int closed = ::_close(fd_);
  const int closeError = errno;
  fd_ = -1;
  if (closed != 0) {
    Discard();
    throw std::system_error(closeError, std::generic_category());
  }
  // Full paths: Wine's ReplaceFileW refuses relative ones (ERROR_DIRECTORY).
  std::error_code ignored;
  const std::wstring from = std::filesystem::absolute(Wide(name_), ignored).native();
  const std::wstring to = std::filesystem::absolute(Wide(target), ignored).native();
  if (::GetFileAttributesW(to.c_str()) == INVALID_FILE_ATTRIBUTES) {
    // A new file.
    if (::MoveFileExW(from.c_str(), to.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
      const DWORD error = ::GetLastError();
      Discard();
      Raise(error);
    }
    ClearCleanupFile();
    name_.clear();
    return;
  }
  // The old file goes to a backup name of ours while ours takes its place, so that no failure
  // leaves the target without one of the two.
  const std::wstring backup =
      (std::filesystem::path(to).parent_path() / RandomName(L".old")).native();
  if (::ReplaceFileW(to.c_str(), from.c_str(), backup.c_str(), 0, nullptr, nullptr) != 0) {
    ClearCleanupFile();
    name_.clear();
    ::DeleteFileW(backup.c_str());
    return;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
    // The old file is at the backup name and ours could not move: the old one goes back.
    if (::MoveFileExW(backup.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) == 0) {
      // Both stay where they are, and the message says where.
      ClearCleanupFile();
      const std::string kept = std::exchange(name_, std::string());
      throw std::system_error(LastWindowsError(), "the old file is left in " + Wtf8OfWide(backup) +
                                                      ", the result in " + kept);
    }
  }
  // Otherwise (ERROR_UNABLE_TO_MOVE_REPLACEMENT, ERROR_UNABLE_TO_REMOVE_REPLACED, an access
  // control list that cannot be merged...) both files kept their names.
  Discard();
  Raise(error);
}

}  // namespace ansicrypt::cli
