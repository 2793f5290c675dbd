// The ANSI code page through which texts become bytes and bytes become texts.
//
// The legacy program converted through the Windows ANSI code page of the machine it ran on; here
// the deployment chooses it, and the conversion follows Windows' own published tables for that
// code page (data/codepages/), compiled into the library:
//  - text to bytes: each UTF-16 unit on its own. A unit the code page maps and reads back as the
//    same unit gives its bytes; every other unit, each half of a surrogate pair too, gives "?"
//    (so an emoji becomes "??"). With best fit switched on, Windows' best-fit mappings are used as
//    well ("\u0100" gives "A" in 1252, "\u221E" gives "8").
//  - bytes to text: every byte takes part and none is trimmed (a zero byte gives U+0000). A lead
//    byte of a double-byte code page and the byte after it form one character, unless that byte is
//    zero or missing; a byte or pair the code page leaves undefined gives the code page's default
//    character (U+30FB in 932, "?" elsewhere).
//  - 65001 is UTF-8: each byte of an ill-formed sequence gives U+FFFD; an unpaired surrogate gives
//    EF BF BD (U+FFFD).
//  - in every code page an ASCII unit (below U+0080) gives its own byte and reads back from it, and
//    a text cut before an ASCII unit gives the bytes of its two parts, one after the other.
// The settings are process-wide, and a thread may override them for a scope of its own
// (ScopedAnsiCodePage, ScopedAnsiBestFit); conversions are safe to run on several threads at once.
#pragma once

#include <functional>
#include <span>
#include <string_view>

#include "ansicrypt/common/error.h"
#include "ansicrypt/common/types.h"

namespace ansicrypt::platform {

// Selects the code page by its Windows number: 874, 932, 936, 949, 950, 1250 to 1258, or 65001
// (UTF-8). An unknown number raises errc::invalid_argument and leaves the setting as it was.
//   ansicrypt::platform::SetAnsiCodePage(936);  // Simplified Chinese (GBK)
void SetAnsiCodePage(unsigned codePage);

// The code page in use on this thread: its override, else the process-wide one (1252 until set).
unsigned AnsiCodePage() noexcept;

// Switches Windows' best-fit mappings on or off for text to bytes; off until set. Programs that do
// not refuse best fit on Windows (the default there) wrote best-fit bytes.
//   ansicrypt::platform::SetAnsiBestFit(true);  // "\uFF21" (fullwidth A) then gives "A"
void SetAnsiBestFit(bool bestFit) noexcept;

// Whether best-fit mappings are in use on this thread: its override, else the process-wide one.
bool AnsiBestFit() noexcept;

// Overrides the code page on the calling thread until the object goes out of scope, when the
// thread's previous setting (an outer override, or none) comes back. Other threads keep theirs.
// An unknown number raises errc::invalid_argument, as SetAnsiCodePage does, and overrides nothing.
//   {
//     ansicrypt::platform::ScopedAnsiCodePage gbk(936);
//     ansicrypt::ByteArray bytes = ansicrypt::platform::TextToAnsi(u"\u4E2D");  // D6 D0
//   }
class ScopedAnsiCodePage {
 public:
  explicit ScopedAnsiCodePage(unsigned codePage);
  ~ScopedAnsiCodePage();
  ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
  ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

 private:
  const void* previous_;
};

// The same for best fit.
class ScopedAnsiBestFit {
 public:
  explicit ScopedAnsiBestFit(bool bestFit) noexcept;
  ~ScopedAnsiBestFit();
  ScopedAnsiBestFit(const ScopedAnsiBestFit&) = delete;
  ScopedAnsiBestFit& operator=(const ScopedAnsiBestFit&) = delete;

 private:
  int previous_;
};

// The text's bytes in the current code page; the empty text gives no bytes.
ByteArray TextToAnsi(std::u16string_view text);

// The same bytes handed to `sink` in pieces, in order, for callers that consume them as they come
// (a digest) rather than keep them. The pieces are valid during the call of `sink` only.
using AnsiPieceSink = std::function<void(std::span<const std::uint8_t>)>;
void TextToAnsiInPieces(std::u16string_view text, const AnsiPieceSink& sink);

// The text that the current code page reads from `bytes`, every byte taking part.
Text AnsiToText(const ByteArray& bytes);

}  // namespace ansicrypt::platform
