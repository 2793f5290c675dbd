// Conversion through a generated code page's tables, with Windows' rules for what the code page
// does not define.
#pragma once

#include <string_view>

#include "ansicrypt/common/types.h"
#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/platform/detail/code_page_tables.h"

namespace ansicrypt::platform::detail {

// Each UTF-16 unit on its own (a surrogate too): its bytes when the page maps it (round-trip
// mappings only, or every WCTABLE mapping with `bestFit`), else the page's default byte.
ByteArray EncodeWithTables(const CodePageTables& page, std::u16string_view text, bool bestFit);

// The same bytes handed to `sink` in pieces, in order (none for the empty text).
void EncodeWithTablesInPieces(const CodePageTables& page, std::u16string_view text, bool bestFit,
                              const AnsiPieceSink& sink);

// Every byte takes part: a lead byte and the next byte, unless that one is zero or missing, form a
// pair; a byte or pair the page does not define gives the page's default character.
Text DecodeWithTables(const CodePageTables& page, const ByteArray& bytes);

}  // namespace ansicrypt::platform::detail
