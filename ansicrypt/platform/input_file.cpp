// File reading: what every system shares. The system calls are in detail/input_file_posix.cpp
// and detail/input_file_windows.cpp.
#include "ansicrypt/platform/input_file.h"

#include <cerrno>

#include "ansicrypt/common/detail/utf16.h"
#include "ansicrypt/common/error.h"
#include "ansicrypt/common/utf8.h"

namespace ansicrypt::platform {
namespace {

// Raises errc::invalid_argument for a name that no file can have.
void CheckName(const Text& name) {
  if (name.empty()) throw Error(errc::invalid_argument);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    // U+0000 would end the name early and open another file; a lone surrogate has no UTF-8 form.
    const bool pair = ::ansicrypt::detail::IsSurrogatePair(name, i);
    if (c == 0 || (!pair && ::ansicrypt::detail::IsSurrogate(c)))
      throw Error(errc::invalid_argument);
    if (pair) ++i;
  }
}

}  // namespace

std::string NativePath(const Text& name) {
  CheckName(name);
  return TextToUtf8(name);
}

std::filesystem::path PathOfName(const Text& name) {
#if defined(_WIN32)
  CheckName(name);
  return std::filesystem::path(std::wstring(name.begin(), name.end()));
#else
  return std::filesystem::path(NativePath(name));
#endif
}

std::filesystem::path PathOfNarrowName(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) {
    throw std::system_error(std::make_error_code(std::errc::invalid_argument), "open");
  }
#if defined(_WIN32)
  // libstdc++ would take the bytes one by one as code points; Windows names are Unicode.
  Text text;
  if (!TryUtf8ToText(name, text)) {
    throw std::system_error(std::make_error_code(std::errc::illegal_byte_sequence), "open");
  }
  return std::filesystem::path(std::wstring(text.begin(), text.end()));
#else
  return std::filesystem::path(std::string(name));
#endif
}

InputFile::InputFile(const Text& name) : fd_(-1), owned_(true) { Open(PathOfName(name)); }

InputFile::InputFile(const std::filesystem::path& path) : fd_(-1), owned_(true) {
  if (path.empty()) throw std::system_error(ENOENT, std::generic_category(), "open");
  Open(path);
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(other.fd_), owned_(other.owned_), onInterrupt_(std::move(other.onInterrupt_)) {
  other.owned_ = false;
}

InputFile::~InputFile() {
  if (owned_) Close(fd_);
}

std::size_t InputFile::Read(std::uint8_t* buffer, std::size_t size) {
  while (true) {
    bool interrupted = false;
    const std::size_t n = ReadOnce(buffer, size, interrupted);
    if (!interrupted) return n;
    if (onInterrupt_) onInterrupt_();
  }
}

std::size_t InputFile::ReadFull(std::uint8_t* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const std::size_t n = Read(buffer + done, size - done);
    if (n == 0) break;
    done += n;
  }
  return done;
}

}  // namespace ansicrypt::platform
