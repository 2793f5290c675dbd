// The ANSI code page through which texts become bytes and bytes become texts.
//
// The legacy program converted through the Windows ANSI code page of the machine it ran on; here
// the deployment chooses it. The rules follow what Windows does:
//  - text to bytes: a character the code page lacks, and an unpaired surrogate, becomes "?" (0x3F);
//  - bytes to text: every byte takes part and none is trimmed (a zero byte gives U+0000); a byte of
//    a single-byte code page with no mapping (0x81, 0x8D, 0x8F, 0x90, 0x9D in 1252) gives the
//    character of the same value; an invalid or truncated multi-byte sequence gives U+FFFD for its
//    first byte and decoding goes on with the next byte.
// The setting is process-wide; conversions are safe to run on several threads at once.
#pragma once

#include <string_view>

#include "ansicrypt/common/error.h"
#include "ansicrypt/common/types.h"

namespace ansicrypt::platform {

// Selects the code page by its Windows number: 874, 932, 936, 949, 950, 1250 to 1258, or 65001
// (UTF-8). An unknown number raises errc::invalid_argument and leaves the setting as it was.
//   ansicrypt::platform::SetAnsiCodePage(936);  // Simplified Chinese (GBK)
void SetAnsiCodePage(unsigned codePage);

// The current code page; 1252 until set.
unsigned AnsiCodePage() noexcept;

// The text's bytes in the current code page; the empty text gives no bytes.
ByteArray TextToAnsi(std::u16string_view text);

// The text that the current code page reads from `bytes`, every byte taking part.
Text AnsiToText(const ByteArray& bytes);

}  // namespace ansicrypt::platform
