// The SQLite extension: the library's text operations as deterministic SQL functions. A TEXT
// argument is UTF-8 and goes through the code page; a BLOB argument is the text's bytes in the code
// page already and is used as it is. Optional last arguments name the code page (1252 when not
// given) and best fit (off when not given) for the call: a result depends on its arguments alone,
// never on a setting of the process, so that a function may back an index. NULL in any argument
// gives NULL; a library error aborts the statement with its message.
#include <sqlite3ext.h>

#include <cctype>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ansicrypt/ansicrypt.h"
#include "bindings/common/call_settings.h"
#include "bindings/common/error_text.h"
#include "bindings/sqlite/sql_text.h"

SQLITE_EXTENSION_INIT1

namespace ansicrypt::sqlite {
namespace {

using bindings::CallScope;
using bindings::CallSettings;

// A string or BLOB too large for SQLite: the statement fails as SQLite's own functions fail.
struct TooBig {};

std::string_view Utf8Argument(sqlite3_value* value) {
  const auto* data = reinterpret_cast<const char*>(sqlite3_value_text(value));
  const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
  return {data == nullptr ? "" : data, size};
}

std::span<const std::uint8_t> BlobArgument(sqlite3_value* value) {
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_value_blob(value));
  const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
  return {data, data == nullptr ? 0 : size};
}

bool IsBlob(sqlite3_value* value) { return sqlite3_value_type(value) == SQLITE_BLOB; }

// A text argument's ANSI bytes: a BLOB as it is, a TEXT converted through the code page. One that
// surely gives more than `limit` bytes is refused with errc::overflow before it is read or
// converted (a zeroblob is not even expanded).
ByteArray AnsiArgument(sqlite3_value* value, std::size_t limit) {
  if (IsBlob(value)) {
    if (static_cast<std::size_t>(sqlite3_value_bytes(value)) > limit) throw Error(errc::overflow);
    const auto blob = BlobArgument(value);
    return ByteArray(blob.begin(), blob.end());
  }
  const std::string_view utf8 = Utf8Argument(value);
  if (bindings::SurelyOver(utf8.size(), limit)) throw Error(errc::overflow);
  return platform::TextToAnsi(SqlText(utf8));
}

// A text read as characters: a TEXT from UTF-8, a BLOB one character per byte (hexadecimal digits
// are ASCII in every code page).
Text CharactersArgument(sqlite3_value* value) {
  if (IsBlob(value)) {
    const auto blob = BlobArgument(value);
    return Text(blob.begin(), blob.end());
  }
  return SqlText(Utf8Argument(value));
}

ByteArray KeyArgument(sqlite3_value* value) {
  if (!IsBlob(value))
    return bindings::KeyAnsiBytes(SqlText(bindings::KeyPrefix(Utf8Argument(value))));
  const auto blob = BlobArgument(value);
  return ByteArray(blob.begin(), blob.begin() + static_cast<std::ptrdiff_t>(
                                                    std::min<std::size_t>(blob.size(), 8)));
}

// The error the library gives a hexadecimal text too long to decrypt, found without converting
// it: it reads the characters in pairs and refuses a step past position 32,766, so that the first
// 32,768 characters are read first. A character that is not a hexadecimal digit among them is a
// type mismatch (the digits are ASCII: such a character starts within the first 32,768 bytes),
// else the length overflows.
[[noreturn]] void RaiseLongHexError(sqlite3_value* value) {
  const auto* bytes = static_cast<const unsigned char*>(
      IsBlob(value) ? sqlite3_value_blob(value)
                    : static_cast<const void*>(sqlite3_value_text(value)));
  const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
  for (std::size_t i = 0; i < std::min<std::size_t>(size, 32768); ++i) {
    if (std::isxdigit(bytes[i]) == 0) throw Error(errc::type_mismatch);
  }
  throw Error(errc::overflow);
}

std::size_t LengthLimit(sqlite3_context* context) {
  return static_cast<std::size_t>(
      sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LENGTH, -1));
}

void ResultText(sqlite3_context* context, const Text& text) {
  const std::string utf8 = TextToUtf8(text);
  if (utf8.size() > LengthLimit(context)) throw TooBig();
  sqlite3_result_text64(context, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// A result of `size` bytes written by `fill` straight into memory that SQLite takes over.
template <class Fill>
void ResultWritten(sqlite3_context* context, std::size_t size, bool text, Fill fill) {
  if (size > LengthLimit(context)) throw TooBig();
  auto* buffer = static_cast<std::uint8_t*>(sqlite3_malloc64(size == 0 ? 1 : size));
  if (buffer == nullptr) throw std::bad_alloc();
  try {
    fill(std::span<std::uint8_t>(buffer, size));
  } catch (...) {
    sqlite3_free(buffer);
    throw;
  }
  // An empty result is an empty value, not NULL: the pointer is never null.
  if (text) {
    sqlite3_result_text64(context, reinterpret_cast<const char*>(buffer), size, sqlite3_free,
                          SQLITE_UTF8);
  } else {
    sqlite3_result_blob64(context, buffer, size, sqlite3_free);
  }
}

// The settings of the optional arguments from `at` on: a code page number, then best fit (0 or 1).
CallSettings SettingsArguments(int argc, sqlite3_value** argv, int at) {
  CallSettings settings;
  const auto integer = [](sqlite3_value* value) {
    if (sqlite3_value_numeric_type(value) != SQLITE_INTEGER) throw Error(errc::invalid_argument);
    return static_cast<std::int64_t>(sqlite3_value_int64(value));
  };
  if (argc > at) settings.codePage = bindings::CheckedCodePage(integer(argv[at]));
  if (argc > at + 1) {
    const std::int64_t bestFit = integer(argv[at + 1]);
    if (bestFit != 0 && bestFit != 1) throw Error(errc::invalid_argument);
    settings.bestFit = bestFit == 1;
  }
  return settings;
}

// Calls `operation` with the settings of the optional arguments from `settingsAt` in force, and
// turns a library error into an SQL error naming the function and the legacy number.
template <class Operation>
void Run(sqlite3_context* context, int argc, sqlite3_value** argv, int settingsAt,
         Operation operation) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // the result stays NULL
  }
  try {
    // The extension's own copy of the library is at its defaults but inside a call: nobody else
    // can set it.
    const CallScope scope(SettingsArguments(argc, argv, settingsAt), CallSettings{});
    operation();
  } catch (const Error& e) {
    const std::string message = static_cast<const char*>(sqlite3_user_data(context)) +
                                std::string(": ") + bindings::ErrorText(e.code());
    sqlite3_result_error(context, message.c_str(), -1);
  } catch (const NotUtf8&) {
    const std::string message = static_cast<const char*>(sqlite3_user_data(context)) +
                                std::string(
                                    ": the text is not valid UTF-8 (a BLOB passes the "
                                    "code page's bytes as they are)");
    sqlite3_result_error(context, message.c_str(), -1);
  } catch (const TooBig&) {
    sqlite3_result_error_toobig(context);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  }
}

void DesEncrypt(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 2, [&] {
    ResultText(
        c, EncryptDes_ArrToHex(AnsiArgument(argv[0], DES::kMaxInputBytes), KeyArgument(argv[1])));
  });
}

void DesDecrypt(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 2, [&] {
    // The library refuses 32,767 digits or more; a text far longer is not converted first.
    const auto size = static_cast<std::size_t>(sqlite3_value_bytes(argv[0]));
    if (IsBlob(argv[0]) ? size > 32768 : bindings::SurelyOver(size, 32767)) {
      RaiseLongHexError(argv[0]);
    }
    ResultText(c, platform::AnsiToText(
                      DecryptDes_HexToArr(CharactersArgument(argv[0]), KeyArgument(argv[1]))));
  });
}

void Md5(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1,
      [&] { ResultText(c, clsMD5().Md5_Arr_Calc(AnsiArgument(argv[0], clsMD5::kMaxTextBytes))); });
}

// The Base64 text is written straight into SQLite's result.
void Base64Encode(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1, [&] {
    std::optional<ByteArray> converted;
    std::span<const std::uint8_t> bytes;
    if (IsBlob(argv[0])) {
      bytes = BlobArgument(argv[0]);
    } else {
      converted = platform::TextToAnsi(SqlText(Utf8Argument(argv[0])));
      bytes = *converted;
    }
    ResultWritten(c, Base64::EncodedSize(bytes.size()), true,
                  [&](std::span<std::uint8_t> out) { Base64::EncodeBase64(bytes, out); });
  });
}

// The Base64 characters of an argument: a BLOB's bytes, or a TEXT's ANSI bytes, as the library's
// text form reads them (best fit and all).
void Base64Decode(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1, [&] {
    const ByteArray base64 = AnsiArgument(argv[0], SIZE_MAX);
    ByteArray decoded(Base64::DecodedSize(base64));
    Base64::DecodeBase64(base64, decoded);
    ResultText(c, platform::AnsiToText(decoded));
  });
}

void Base64DecodeBlob(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1, [&] {
    const ByteArray base64 = AnsiArgument(argv[0], SIZE_MAX);
    ResultWritten(c, Base64::DecodedSize(base64), false,
                  [&](std::span<std::uint8_t> out) { Base64::DecodeBase64(base64, out); });
  });
}

struct Function {
  const char* name;
  int minArgs;
  int maxArgs;
  void (*call)(sqlite3_context*, int, sqlite3_value**);
};

constexpr Function kFunctions[] = {
    {"ansi_des_encrypt", 2, 4, DesEncrypt},
    {"ansi_des_decrypt", 2, 4, DesDecrypt},
    {"ansi_md5", 1, 3, Md5},
    {"ansi_base64_encode", 1, 3, Base64Encode},
    {"ansi_base64_decode", 1, 3, Base64Decode},
    {"ansi_base64_decode_blob", 1, 1, Base64DecodeBlob},
};

}  // namespace
}  // namespace ansicrypt::sqlite

extern "C" __attribute__((visibility("default"))) int sqlite3_ansicrypt_init(
    sqlite3* db, char** errorMessage, const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  for (const auto& f : ansicrypt::sqlite::kFunctions) {
    for (int args = f.minArgs; args <= f.maxArgs; ++args) {
      const int rc = sqlite3_create_function_v2(
          db, f.name, args, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
          const_cast<char*>(f.name), f.call, nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) {
        *errorMessage = sqlite3_mprintf("ansicrypt: cannot register %s", f.name);
        return rc;
      }
    }
  }
  return SQLITE_OK;
}
