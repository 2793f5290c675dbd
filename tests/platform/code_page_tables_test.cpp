// Every conversion of every generated code page against Windows' published tables, read by the
// tests' own reader: every byte alone, every lead byte with each following byte and alone at the
// end, and every UTF-16 unit alone with best fit off and on.
#include <gtest/gtest.h>

#include "ansicrypt/platform/code_page.h"
#include "tests/support/bestfit_file.h"
#include "tests/support/code_page_scope.h"

namespace ansicrypt::test {
namespace {

using platform::AnsiToText;
using platform::TextToAnsi;

class PublishedTables : public testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override { file_ = ReadBestFitFile(GetParam()); }
  BestFitFile file_;
};

TEST_P(PublishedTables, FileIsTheCodePageAsked) {
  EXPECT_EQ(file_.codePage, GetParam());
  EXPECT_EQ(file_.defaultByte, '?');
  EXPECT_EQ(file_.defaultChar, GetParam() == 932 ? u'\u30FB' : u'?');
}

TEST_P(PublishedTables, EveryByteAlone) {
  const CodePageScope scope(GetParam());
  for (unsigned b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    // A lead byte with nothing after it, and a byte the file leaves undefined, give the default.
    const char16_t want = !file_.leads.contains(byte) && file_.single.contains(byte)
                              ? file_.single.at(byte)
                              : file_.defaultChar;
    EXPECT_EQ(AnsiToText({byte}), Text(1, want)) << "byte " << b;
  }
}

using PublishedDoubleByteTables = PublishedTables;

TEST_P(PublishedDoubleByteTables, EveryLeadByteWithEveryNextByte) {
  ASSERT_TRUE(file_.doubleByte);
  const CodePageScope scope(GetParam());
  for (const std::uint8_t lead : file_.leads) {
    for (unsigned t = 0; t < 256; ++t) {
      const auto trail = static_cast<std::uint8_t>(t);
      const auto pair = static_cast<std::uint16_t>(lead << 8 | trail);
      // Any byte but zero is taken as the trail byte; the pair's character or the default.
      const Text want = trail == 0 ? Text{file_.defaultChar, u'\0'}
                                   : Text(1, file_.Read(pair).value_or(file_.defaultChar));
      ASSERT_EQ(AnsiToText({lead, trail}), want) << "bytes " << lead << " " << t;
    }
    EXPECT_EQ(AnsiToText({'a', lead}), (Text{u'a', file_.defaultChar})) << "lone lead " << +lead;
  }
}

TEST_P(PublishedTables, EveryUnitAloneInBothModes) {
  for (const bool bestFit : {false, true}) {
    const CodePageScope scope(GetParam(), bestFit);
    for (unsigned u = 0; u < 0x10000; ++u) {
      const auto unit = static_cast<char16_t>(u);
      ByteArray want{file_.defaultByte};
      if (const auto it = file_.wide.find(unit); it != file_.wide.end()) {
        // Without best fit only mappings whose bytes read back as the same unit are used.
        if (bestFit || file_.Read(it->second) == unit) want = BestFitFile::Bytes(it->second);
      }
      ASSERT_EQ(TextToAnsi(std::u16string_view(&unit, 1)), want)
          << "unit " << std::hex << u << (bestFit ? " best fit" : "");
    }
  }
}

// The same units and bytes inside long ASCII runs, which take the bulk path, in one call each.
TEST_P(PublishedTables, EveryUnitAndByteBetweenAsciiRuns) {
  const std::u16string run(17, u'r');
  const ByteArray runBytes(17, 'r');
  for (const bool bestFit : {false, true}) {
    const CodePageScope scope(GetParam(), bestFit);
    Text text = run;
    ByteArray want = runBytes;
    for (unsigned u = 0; u < 0x10000; ++u) {
      text += static_cast<char16_t>(u);
      text += run;
      ByteArray bytes{file_.defaultByte};
      if (const auto it = file_.wide.find(static_cast<char16_t>(u)); it != file_.wide.end()) {
        if (bestFit || file_.Read(it->second) == u) bytes = BestFitFile::Bytes(it->second);
      }
      want.insert(want.end(), bytes.begin(), bytes.end());
      want.insert(want.end(), runBytes.begin(), runBytes.end());
    }
    EXPECT_EQ(TextToAnsi(text), want) << (bestFit ? "best fit" : "");
  }
  const CodePageScope scope(GetParam());
  ByteArray bytes = runBytes;
  Text want = run;
  for (unsigned b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    if (file_.leads.contains(byte)) {
      for (unsigned t = 1; t < 256; ++t) {
        bytes.insert(bytes.end(), {byte, static_cast<std::uint8_t>(t)});
        want += file_.Read(static_cast<std::uint16_t>(b << 8 | t)).value_or(file_.defaultChar);
      }
    } else {
      bytes.push_back(byte);
      want += file_.single.contains(byte) ? file_.single.at(byte) : file_.defaultChar;
    }
    bytes.insert(bytes.end(), runBytes.begin(), runBytes.end());
    want += run;
  }
  EXPECT_EQ(AnsiToText(bytes), want);
}

std::string PageName(const testing::TestParamInfo<unsigned>& page) {
  return "cp" + std::to_string(page.param);
}

INSTANTIATE_TEST_SUITE_P(Pages, PublishedTables, testing::ValuesIn(BestFitCodePages()), PageName);
INSTANTIATE_TEST_SUITE_P(Pages, PublishedDoubleByteTables, testing::Values(932, 936, 949, 950),
                         PageName);

}  // namespace
}  // namespace ansicrypt::test
