// The code-page conversions beside glibc iconv converting the same text in one call. Texts: 1252
// mostly ASCII (one accented letter in 64 characters); 932 and 936 mixed, three characters of
// four double-byte. Throughput in UTF-16 input bytes (text to bytes) and ANSI input bytes (bytes
// to text).
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>

#include "ansicrypt/platform/code_page.h"

namespace {

using ansicrypt::ByteArray;
using ansicrypt::Text;

constexpr std::size_t kChars = 1 << 20;

Text SampleText(unsigned codePage) {
  Text text(kChars, u' ');
  if (codePage == 1252) {
    for (std::size_t i = 0; i < kChars; ++i) {
      text[i] = i % 64 == 63 ? u'\u00E9' : static_cast<char16_t>(u'a' + i % 26);
    }
    return text;
  }
  const std::u16string doubleByte =
      codePage == 932 ? u"日本語漢字東京大阪あいうえおカタナ" : u"中文汉字北京上海广州你好世界简体";
  for (std::size_t i = 0; i < kChars; ++i) {
    text[i] =
        i % 4 == 3 ? static_cast<char16_t>(u'a' + i % 26) : doubleByte[(i * 7) % doubleByte.size()];
  }
  return text;
}

std::string IconvName(unsigned codePage) { return "CP" + std::to_string(codePage); }

class CodePageFixture {
 public:
  explicit CodePageFixture(unsigned codePage) { ansicrypt::platform::SetAnsiCodePage(codePage); }
  ~CodePageFixture() { ansicrypt::platform::SetAnsiCodePage(1252); }
  CodePageFixture(const CodePageFixture&) = delete;
  CodePageFixture& operator=(const CodePageFixture&) = delete;
};

void TextToAnsiOurs(benchmark::State& state) {
  const auto codePage = static_cast<unsigned>(state.range(0));
  const CodePageFixture page(codePage);
  const Text text = SampleText(codePage);
  for (auto _ : state) benchmark::DoNotOptimize(ansicrypt::platform::TextToAnsi(text));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size() * 2));
}

void TextToAnsiIconv(benchmark::State& state) {
  const auto codePage = static_cast<unsigned>(state.range(0));
  const Text text = SampleText(codePage);
  iconv_t cd = iconv_open(IconvName(codePage).c_str(), "UTF-16LE");
  std::string out(text.size() * 2, '\0');
  for (auto _ : state) {
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
    std::size_t inLeft = text.size() * 2;
    char* o = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size() * 2));
}

ByteArray SampleBytes(unsigned codePage) {
  const CodePageFixture page(codePage);
  return ansicrypt::platform::TextToAnsi(SampleText(codePage));
}

void AnsiToTextOurs(benchmark::State& state) {
  const auto codePage = static_cast<unsigned>(state.range(0));
  const ByteArray bytes = SampleBytes(codePage);
  const CodePageFixture page(codePage);
  for (auto _ : state) benchmark::DoNotOptimize(ansicrypt::platform::AnsiToText(bytes));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void AnsiToTextIconv(benchmark::State& state) {
  const auto codePage = static_cast<unsigned>(state.range(0));
  ByteArray bytes = SampleBytes(codePage);
  iconv_t cd = iconv_open("UTF-16LE", IconvName(codePage).c_str());
  std::u16string out(bytes.size(), u'\0');
  for (auto _ : state) {
    char* in = reinterpret_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* o = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * 2;
    iconv(cd, &in, &inLeft, &o, &outLeft);
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

BENCHMARK(TextToAnsiOurs)->Name("text_to_ansi/ansicrypt")->Arg(1252)->Arg(932)->Arg(936);
BENCHMARK(TextToAnsiIconv)->Name("text_to_ansi/iconv")->Arg(1252)->Arg(932)->Arg(936);
BENCHMARK(AnsiToTextOurs)->Name("ansi_to_text/ansicrypt")->Arg(1252)->Arg(932)->Arg(936);
BENCHMARK(AnsiToTextIconv)->Name("ansi_to_text/iconv")->Arg(1252)->Arg(932)->Arg(936);

}  // namespace
