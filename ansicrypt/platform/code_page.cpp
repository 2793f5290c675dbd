// The process-wide ANSI code page and the conversions through it.
#include "ansicrypt/platform/code_page.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "ansicrypt/platform/detail/iconv_codec.h"
#include "ansicrypt/platform/detail/single_byte_codec.h"

namespace ansicrypt::platform {
namespace {

struct CodePage {
  unsigned number;
  const char* iconvName;
  bool singleByte;
};

constexpr std::array<CodePage, 15> kCodePages = {{
    {874, "CP874", true},
    {932, "CP932", false},
    {936, "CP936", false},
    {949, "CP949", false},
    {950, "CP950", false},
    {1250, "CP1250", true},
    {1251, "CP1251", true},
    {1252, "CP1252", true},
    {1253, "CP1253", true},
    {1254, "CP1254", true},
    {1255, "CP1255", true},
    {1256, "CP1256", true},
    {1257, "CP1257", true},
    {1258, "CP1258", true},
    {65001, "UTF-8", false},
}};
constexpr std::size_t kDefaultIndex = 7;  // 1252
static_assert(kCodePages[kDefaultIndex].number == 1252);

// The tables of a single-byte code page, built on first use and kept for the life of the process.
const detail::SingleByteCodec& SingleByteCodecFor(std::size_t index) {
  static std::array<std::once_flag, kCodePages.size()> built;
  static std::array<std::unique_ptr<const detail::SingleByteCodec>, kCodePages.size()> codecs;
  std::call_once(built[index], [index] {
    codecs[index] = std::make_unique<const detail::SingleByteCodec>(kCodePages[index].iconvName);
  });  // a failed build throws and is tried again on the next call
  return *codecs[index];
}

std::atomic<std::size_t> currentIndex{kDefaultIndex};

}  // namespace

void SetAnsiCodePage(unsigned codePage) {
  for (std::size_t i = 0; i < kCodePages.size(); ++i) {
    if (kCodePages[i].number != codePage) continue;
    // Make sure the conversion is available before switching to it.
    if (kCodePages[i].singleByte) {
      SingleByteCodecFor(i);
    } else if (!detail::IconvKnows(kCodePages[i].iconvName)) {
      throw Error(errc::invalid_argument);
    }
    currentIndex.store(i);
    return;
  }
  throw Error(errc::invalid_argument);
}

unsigned AnsiCodePage() noexcept { return kCodePages[currentIndex.load()].number; }

ByteArray TextToAnsi(std::u16string_view text) {
  const std::size_t index = currentIndex.load();
  const CodePage& page = kCodePages[index];
  if (page.singleByte) return SingleByteCodecFor(index).Encode(text);
  return detail::IconvEncode(page.number, page.iconvName, text);
}

Text AnsiToText(const ByteArray& bytes) {
  const std::size_t index = currentIndex.load();
  const CodePage& page = kCodePages[index];
  if (page.singleByte) return SingleByteCodecFor(index).Decode(bytes);
  return detail::IconvDecode(page.number, page.iconvName, bytes);
}

}  // namespace ansicrypt::platform
