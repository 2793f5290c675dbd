// Per-thread overrides of the code page and of best fit: scoped, nested, restored on every exit,
// independent between threads, and honoured by the text operations.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>

#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/text/base64_text.h"
#include "ansicrypt/text/des_text.h"
#include "tests/support/code_page_scope.h"
#include "tests/support/error_of.h"

namespace ansicrypt::test {
namespace {

using platform::AnsiBestFit;
using platform::AnsiCodePage;
using platform::ScopedAnsiBestFit;
using platform::ScopedAnsiCodePage;
using platform::TextToAnsi;

const std::u16string kHan = u"\u4E2D";  // D6 D0 in 936, 92 86 in 932, E4 B8 AD in UTF-8

TEST(ScopedAnsiCodePage, NestsAndRestoresOnEveryExit) {
  const CodePageScope process(1251);
  {
    const ScopedAnsiCodePage outer(936);
    EXPECT_EQ(AnsiCodePage(), 936U);
    EXPECT_EQ(TextToAnsi(kHan), (ByteArray{0xD6, 0xD0}));
    {
      const ScopedAnsiCodePage inner(65001);
      EXPECT_EQ(TextToAnsi(kHan), (ByteArray{0xE4, 0xB8, 0xAD}));
    }
    EXPECT_EQ(AnsiCodePage(), 936U);
    try {
      const ScopedAnsiCodePage thrown(932);
      EXPECT_EQ(TextToAnsi(kHan), (ByteArray{0x92, 0x86}));
      throw std::runtime_error("leaving the scope");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(AnsiCodePage(), 936U);
    // An unknown number overrides nothing.
    EXPECT_EQ(ErrorOf([] { const ScopedAnsiCodePage bad(437); }), errc::invalid_argument);
    EXPECT_EQ(AnsiCodePage(), 936U);
    // Setting the process-wide page under an override changes what comes back after it.
    platform::SetAnsiCodePage(1250);
    EXPECT_EQ(AnsiCodePage(), 936U);
  }
  EXPECT_EQ(AnsiCodePage(), 1250U);
}

TEST(ScopedAnsiBestFit, OverridesTheProcessSettingOnThisThreadOnly) {
  const CodePageScope process(1252);
  EXPECT_EQ(TextToAnsi(u"\u0100"), (ByteArray{'?'}));
  {
    const ScopedAnsiBestFit on(true);
    EXPECT_TRUE(AnsiBestFit());
    EXPECT_EQ(TextToAnsi(u"\u0100"), (ByteArray{'A'}));
    bool otherThread = true;
    std::thread([&] { otherThread = AnsiBestFit(); }).join();
    EXPECT_FALSE(otherThread);
    platform::SetAnsiBestFit(true);
    {
      const ScopedAnsiBestFit off(false);
      EXPECT_EQ(TextToAnsi(u"\u0100"), (ByteArray{'?'}));
    }
  }
  EXPECT_TRUE(AnsiBestFit());  // the process-wide setting made inside the scope
}

// Threads with different overrides convert at the same time, each through its own page, while
// the process-wide page stays as it was for a thread without an override.
TEST(ScopedAnsiCodePage, ThreadsConvertThroughTheirOwnPages) {
  const CodePageScope process(1252);
  struct Case {
    unsigned page;
    ByteArray bytes;
  };
  const Case cases[] = {
      {936, {0xD6, 0xD0}}, {932, {0x92, 0x86}}, {65001, {0xE4, 0xB8, 0xAD}}, {1252, {'?'}}};
  std::atomic<int> mismatches{0};
  {
    std::vector<std::thread> threads;
    for (const Case& c : cases) {
      threads.emplace_back([&, c] {
        std::optional<ScopedAnsiCodePage> scope;
        if (c.page != 1252) scope.emplace(c.page);
        for (int i = 0; i < 3000; ++i) {
          mismatches += TextToAnsi(kHan) != c.bytes;
          mismatches += platform::AnsiToText(c.bytes) != (c.page == 1252 ? u"?" : kHan);
        }
      });
    }
    for (std::thread& t : threads) t.join();
  }
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(ScopedAnsiCodePage, TextOperationsHonourIt) {
  const CodePageScope process(1252);
  Text underProcessPage, underOverride;
  {
    const CodePageScope gbk(936);
    underProcessPage = EncryptDes_StrToHex(kHan + u"\u6587", u"key") + EncodeBase64_StrToStr(kHan);
  }
  {
    const ScopedAnsiCodePage gbk(936);
    underOverride = EncryptDes_StrToHex(kHan + u"\u6587", u"key") + EncodeBase64_StrToStr(kHan);
    EXPECT_EQ(DecodeBase64_StrToStr(u"1tA="), kHan);
  }
  EXPECT_EQ(underOverride, underProcessPage);
}

}  // namespace
}  // namespace ansicrypt::test
