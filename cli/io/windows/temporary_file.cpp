// Temporary output files on Windows: a named file beside the target, which others may read and
// delete (so that the Ctrl-C handler can remove it while it is open), put in place by ReplaceFileW
// (which keeps the old file's attributes, access control list and creation time) or, for a new
// file, MoveFileExW.
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

std::wstring RandomName() {
  static constexpr wchar_t kLetters[] =
      L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::wstring name = L".ansicrypt-";
  for (int i = 0; i < 6; ++i) name += kLetters[random() % (std::size(kLetters) - 1)];
  return name;
}

}  // namespace

TemporaryFile::TemporaryFile(const std::filesystem::path& directory, mode_t)
    : directory_(directory) {
  for (int attempt = 0;; ++attempt) {
    const std::filesystem::path path = directory / RandomName();
    // Armed before the file exists: a Ctrl-C between making it and arming would leave it behind,
    // deleting a name that does not exist yet costs nothing.
    name_ = Wtf8OfWide(path.native());
    SetCleanupFile(name_);
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      ClearCleanupFile();
      name_.clear();
      if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100)
        throw std::system_error(ErrorOfWindows(error));
      continue;
    }
    fd_ = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd_ < 0) {
      ::CloseHandle(handle);
      Discard();
      throw std::system_error(std::make_error_code(std::errc::too_many_files_open));
    }
    return;
  }
}

TemporaryFile::~TemporaryFile() { Discard(); }

void TemporaryFile::Discard() {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
  if (!name_.empty()) {
    ::DeleteFileW(WideOfWtf8(name_).c_str());
    ClearCleanupFile();
    name_.clear();
  }
}

void TemporaryFile::Replace(const std::string& target) {
  const int closed = ::_close(fd_);
  const int closeError = errno;
  fd_ = -1;
  if (closed != 0) {
    Discard();
    throw std::system_error(closeError, std::generic_category());
  }
  // Full paths: Wine's ReplaceFileW refuses relative ones (ERROR_DIRECTORY).
  std::error_code ignored;
  const std::wstring from = std::filesystem::absolute(WideOfWtf8(name_), ignored).native();
  const std::wstring to = std::filesystem::absolute(WideOfWtf8(target), ignored).native();
  constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  bool done = false;
  DWORD error = ERROR_FILE_NOT_FOUND;
  if (::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES) {
    done = ::ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                          REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                          nullptr) != 0;
    if (!done) error = ::GetLastError();
  }
  // A new file; a file removed meanwhile; or ReplaceFileW removed the old file and could not put
  // ours in its place (ERROR_UNABLE_TO_MOVE_REPLACEMENT): ours is moved there.
  if (!done && (error == ERROR_FILE_NOT_FOUND || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT)) {
    const bool oldFileGone = error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
    done = ::MoveFileExW(from.c_str(), to.c_str(), kMoveFlags) != 0;
    if (!done && oldFileGone) {
      // Ours is the only copy left of anything: it stays, and the message says where.
      const std::error_code code = LastWindowsError();
      ClearCleanupFile();
      const std::string kept = std::exchange(name_, std::string());
      throw std::system_error(code, "the result is left in " + kept);
    }
    if (!done) error = ::GetLastError();
  }
  if (!done) {
    Discard();
    throw std::system_error(ErrorOfWindows(error));
  }
  ClearCleanupFile();
  name_.clear();
}

}  // namespace ansicrypt::cli
