// Conversion for multi-byte code pages through glibc iconv, with Windows' rules for what the code
// page cannot express.
#include "ansicrypt/platform/detail/iconv_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include "ansicrypt/common/detail/utf16.h"
#include "ansicrypt/common/error.h"

namespace ansicrypt::platform::detail {
namespace {

const iconv_t kInvalidHandle = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));
constexpr std::size_t kIconvFailed = static_cast<std::size_t>(-1);

struct ThreadDescriptors {
  unsigned codePage = 0;
  std::optional<IconvHandle> encode;
  std::optional<IconvHandle> decode;
};

// iconv descriptors keep conversion state, so each thread has its own pair.
ThreadDescriptors& DescriptorsFor(unsigned codePage, const char* iconvName) {
  thread_local ThreadDescriptors descriptors;
  if (descriptors.codePage != codePage) {
    descriptors.codePage = 0;
    descriptors.encode.emplace(iconvName, kUtf16);
    descriptors.decode.emplace(kUtf16, iconvName);
    descriptors.codePage = codePage;
  }
  return descriptors;
}

// Runs `cd` over `input` into a buffer of `Unit`s. `onInvalid` is called with the offset of the
// input that iconv refused (a character or sequence it cannot convert, or one cut off by the end);
// it sets the replacement to append and returns how many input bytes to skip.
template <class Unit, class OnInvalid>
std::basic_string<Unit> Convert(iconv_t cd, const char* input, std::size_t inputBytes,
                                const OnInvalid& onInvalid) {
  std::basic_string<Unit> out(inputBytes + 8, Unit{});
  std::size_t used = 0;                           // output units written
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // initial shift state
  char* in = const_cast<char*>(input);            // iconv never writes through it
  std::size_t inLeft = inputBytes;
  bool flushed = false;
  while (!flushed) {
    char* outPtr = reinterpret_cast<char*>(out.data() + used);
    std::size_t outLeft = (out.size() - used) * sizeof(Unit);
    std::size_t result = 0;
    if (inLeft > 0) {
      result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    } else {
      result = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);  // write out any pending state
      flushed = result != kIconvFailed;
    }
    const int error = errno;
    used = out.size() - outLeft / sizeof(Unit);
    if (result != kIconvFailed) continue;
    if (error == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    if (error != EILSEQ && error != EINVAL) throw Error(errc::invalid_argument);
    std::basic_string<Unit> replacement;
    const std::size_t skip = onInvalid(static_cast<std::size_t>(in - input), replacement);
    if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
    std::copy(replacement.begin(), replacement.end(),
              out.begin() + static_cast<std::ptrdiff_t>(used));
    used += replacement.size();
    in += skip;
    inLeft -= skip;
  }
  out.resize(used);
  return out;
}

}  // namespace

IconvHandle::IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {
  if (handle_ == kInvalidHandle) throw Error(errc::invalid_argument);
}

IconvHandle::~IconvHandle() { iconv_close(handle_); }

bool IconvKnows(const char* iconvName) {
  try {
    IconvHandle encode(iconvName, kUtf16);
    IconvHandle decode(kUtf16, iconvName);
    return true;
  } catch (const Error&) {
    return false;
  }
}

ByteArray IconvEncode(unsigned codePage, const char* iconvName, std::u16string_view text) {
  ThreadDescriptors& d = DescriptorsFor(codePage, iconvName);
  // A character the code page lacks becomes "?"; so does an unpaired surrogate. A surrogate pair
  // is one character and gives one "?".
  auto replace = [text](std::size_t offset, std::string& replacement) -> std::size_t {
    const std::size_t unit = offset / 2;
    replacement = "?";
    return ::ansicrypt::detail::IsSurrogatePair(text, unit) ? 4 : 2;
  };
  const std::string bytes = Convert<char>(
      d.encode->get(), reinterpret_cast<const char*>(text.data()), text.size() * 2, replace);
  return ByteArray(bytes.begin(), bytes.end());
}

Text IconvDecode(unsigned codePage, const char* iconvName, const ByteArray& bytes) {
  ThreadDescriptors& d = DescriptorsFor(codePage, iconvName);
  // An invalid or truncated sequence gives U+FFFD for its first byte; decoding goes on after it.
  auto replace = [](std::size_t, std::u16string& replacement) -> std::size_t {
    replacement = u"\uFFFD";
    return 1;
  };
  return Convert<char16_t>(d.decode->get(), reinterpret_cast<const char*>(bytes.data()),
                           bytes.size(), replace);
}

}  // namespace ansicrypt::platform::detail
