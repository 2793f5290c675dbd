// Names between the tool (UTF-8) and Windows (UTF-16), through WTF-8: a lone surrogate, which a
// Windows file name may hold, becomes the three bytes UTF-8 would give it and comes back unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ansicrypt::cli {

std::string Wtf8OfWide(std::wstring_view wide);

// Nothing for bytes that are not UTF-8 (nor a WTF-8 surrogate): Windows names are UTF-16, so no
// file has such a name.
std::optional<std::wstring> WideOfWtf8(std::string_view bytes);

}  // namespace ansicrypt::cli
