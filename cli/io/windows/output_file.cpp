// Outputs on Windows: a disk file (new or existing) is replaced through a temporary file beside
// it; a device, a pipe or the console is written as it is. Files are told apart by their volume
// serial number and file ID.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <utility>

#include "cli/io/output_file.h"
#include "cli/io/report.h"
#include "cli/io/standard_descriptors.h"
#include "cli/io/temporary_file.h"
#include "cli/io/windows/system_error.h"
#include "cli/io/windows/wide_names.h"
#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {
namespace {

[[noreturn]] void Fail(const std::string& name, std::error_code code) { throw Failure(name, code); }

// A handle that only asks about the file (no access to its data), links followed; folders too.
HANDLE OpenToLook(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

struct Looked {
  DWORD type = FILE_TYPE_UNKNOWN;
  DWORD attributes = 0;
  std::optional<FileIdentity> identity;  // a file on a disk, not a folder
};

Looked LookAt(HANDLE handle) {
  Looked looked;
  looked.type = ::GetFileType(handle);
  if (looked.type != FILE_TYPE_DISK) return looked;
  FILE_BASIC_INFO basic{};
  if (::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) != 0)
    looked.attributes = basic.FileAttributes;
  if ((looked.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return looked;
  FILE_ID_INFO id{};
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id) != 0) {
    // The ID has 128 bits (ReFS); NTFS uses the low 64. Both halves are folded in.
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    std::memcpy(&low, id.FileId.Identifier, sizeof low);
    std::memcpy(&high, id.FileId.Identifier + sizeof low, sizeof high);
    looked.identity = FileIdentity{
        id.VolumeSerialNumber != 0 ? id.VolumeSerialNumber : FileIdentity::kUnknownDevice,
        low ^ high};
  } else if (::GetFileInformationByHandle(handle, &info) != 0) {
    // File systems without 128-bit IDs (FAT, some redirectors) still give the 64-bit index.
    looked.identity = FileIdentity{
        info.dwVolumeSerialNumber != 0 ? info.dwVolumeSerialNumber : FileIdentity::kUnknownDevice,
        (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  }
  return looked;
}

// The full name of the file open at `handle`, links resolved; empty if unknown. Within MAX_PATH
// in its plain form (C:\... or \\server\share\...), which every call and Wine take; with the
// \\?\ prefix beyond.
std::wstring FinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length == 0) return {};
    if (length >= path.size()) {
      path.resize(length);  // the size it needs, its final NUL included
      continue;
    }
    path.resize(length);
    if (path.size() - 4 < MAX_PATH) {
      if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\" + path.substr(7);
      if (path.starts_with(L"\\\\?\\")) return path.substr(4);
    }
    return path;
  }
  return {};
}

HANDLE HandleOf(int fd) {
  const std::intptr_t handle = ::_get_osfhandle(fd);
  return handle == -1 || handle == -2 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  const std::optional<std::wstring> wide = WideOfWtf8(path);
  if (!wide) return std::nullopt;
  const HANDLE handle = OpenToLook(*wide);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  const Looked looked = LookAt(handle);
  ::CloseHandle(handle);
  return looked.identity;
}

std::optional<FileIdentity> IdentityOfDescriptor(int fd) {
  const HANDLE handle = HandleOf(fd);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  return LookAt(handle).identity;
}

Output::Output(const std::string& path) {
  if (path == "-") {
    name_ = "standard output";
    UseDescriptor(1);
    return;
  }
  name_ = QuoteName(path);
  if (path.empty()) Fail(name_, std::make_error_code(std::errc::no_such_file_or_directory));
  const std::optional<std::wstring> wide = WideOfWtf8(path);
  // No Windows name holds bytes that are not UTF-8.
  if (!wide) Fail(name_, std::make_error_code(std::errc::illegal_byte_sequence));
  std::filesystem::path target(*wide);
  const HANDLE handle = OpenToLook(target.native());
  const bool exists = handle != INVALID_HANDLE_VALUE;
  if (!exists) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) Fail(name_, ErrorOfWindows(error));
    // "new\" names a folder to be, as the shell's > reads it.
    if (path.back() == '/' || path.back() == '\\')
      Fail(name_, std::make_error_code(std::errc::is_a_directory));
  } else {
    const Looked looked = LookAt(handle);
    // The file the name leads to, symbolic links followed (libstdc++ sees no links on Windows):
    // the file is replaced, the links stay.
    if (std::wstring final = FinalPath(handle); !final.empty()) target = std::move(final);
    ::CloseHandle(handle);
    if ((looked.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      Fail(name_, std::make_error_code(std::errc::is_a_directory));
    // Another name of the file our standard output or error already writes: written there. Only
    // when surely the same file: a volume Windows does not report proves nothing.
    for (const int fd : {1, 2}) {
      if (looked.identity && !IsClosedStandardDescriptor(fd) &&
          IdentityOfDescriptor(fd) == looked.identity) {
        UseDescriptor(fd);
        return;
      }
    }
    if (looked.type != FILE_TYPE_DISK) {
      // A device (NUL, CON, a COM port) or a named pipe: written as it is, never removed.
      fd_ = ::_wopen(target.c_str(), _O_WRONLY | _O_BINARY);
      if (fd_ < 0) Fail(name_, std::error_code(errno, std::generic_category()));
      ownsDescriptor_ = true;
      return;
    }
    // What the shell's > would refuse is refused: a file we may not write (read-only, denied by
    // its access control list, locked by another program). Opened to ask, never written.
    const HANDLE probe = ::CreateFileW(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) Fail(name_, LastWindowsError());
    ::CloseHandle(probe);
  }
  std::filesystem::path directory = target.parent_path();
  if (directory.empty()) directory = L".";
  try {
    temporary_ = std::make_unique<TemporaryFile>(directory, 0666);
  } catch (const std::system_error& e) {
    // Where OUT does not exist yet, the shell's > could not make it either.
    if (!exists) throw Failure(name_, e.code());
    RefuseReplacement("as no file can be made beside it (" + e.code().message() + ")");
  }
  fd_ = temporary_->fd();
  target_ = Wtf8OfWide(target.native());
}

void Output::UseDescriptor(int fd) {
  if (IsClosedStandardDescriptor(fd) || HandleOf(fd) == INVALID_HANDLE_VALUE)
    Fail(name_, std::make_error_code(std::errc::bad_file_descriptor));
  fd_ = fd;
}

void Output::Commit() {
  if (!temporary_) return;
  try {
    temporary_->Replace(target_);
  } catch (const std::system_error& e) {
    temporary_.reset();
    fd_ = -1;
    throw Failure(name_, std::string_view(e.what()));
  }
  temporary_.reset();
  fd_ = -1;
}

// A pipe's buffer is set by whoever made it.
void WidenPipe(int) {}

}  // namespace ansicrypt::cli
