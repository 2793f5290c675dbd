// The SQLite extension: the library's text operations as deterministic SQL functions. A TEXT
// argument is UTF-8 and goes through the code page; a BLOB argument is the text's bytes in the code
// page already and is used as it is. Optional last arguments name the code page (1252 when not
// given) and best fit (off when not given) for the call: a result depends on its arguments alone,
// never on a setting of the process, so that a function may back an index. NULL in any argument
// gives NULL; a library error aborts the statement with its message.
#include <sqlite3ext.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ansicrypt/ansicrypt.h"
#include "bindings/common/call_settings.h"
#include "bindings/common/text_argument.h"
#include "bindings/common/utf8_argument.h"

SQLITE_EXTENSION_INIT1

namespace ansicrypt::sqlite {
namespace {

using bindings::CallScope;
using bindings::CallSettings;

// A string or BLOB too large for SQLite: the statement fails as SQLite's own functions fail.
struct TooBig {};

bool IsBlob(sqlite3_value* value) { return sqlite3_value_type(value) == SQLITE_BLOB; }

// A TEXT as UTF-8, a BLOB as the code page's bytes. A BLOB of more than `blobLimit` bytes is
// refused with errc::overflow before it is read (a zeroblob is not even expanded).
bindings::TextArgument Argument(sqlite3_value* value, std::size_t blobLimit = SIZE_MAX) {
  const bool blob = IsBlob(value);
  if (blob && static_cast<std::size_t>(sqlite3_value_bytes(value)) > blobLimit) {
    throw Error(errc::overflow);
  }
  const void* data = blob ? sqlite3_value_blob(value) : sqlite3_value_text(value);
  const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
  if (data == nullptr) return {{}, blob};
  return {{static_cast<const char*>(data), size}, blob};
}

std::size_t LengthLimit(sqlite3_context* context) {
  return static_cast<std::size_t>(
      sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LENGTH, -1));
}

void ResultText(sqlite3_context* context, const std::string& utf8) {
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

const char* Name(sqlite3_context* context) {
  return static_cast<const char*>(sqlite3_user_data(context));
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
    const std::string message = bindings::FailureMessage(Name(context), e.code());
    sqlite3_result_error(context, message.c_str(), -1);
  } catch (const bindings::NotUtf8&) {
    const std::string message = bindings::NotUtf8Message(Name(context), "a BLOB");
    sqlite3_result_error(context, message.c_str(), -1);
  } catch (const TooBig&) {
    sqlite3_result_error_toobig(context);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  }
}

void DesEncrypt(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 2, [&] {
    ResultText(c, bindings::DesEncrypt(Argument(argv[0], DES::kMaxInputBytes), Argument(argv[1])));
  });
}

void DesDecrypt(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 2,
      [&] { ResultText(c, bindings::DesDecrypt(Argument(argv[0]), Argument(argv[1]))); });
}

void Md5(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1,
      [&] { ResultText(c, bindings::Md5(Argument(argv[0], clsMD5::kMaxTextBytes))); });
}

// The Base64 text is written straight into SQLite's result.
void Base64Encode(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1, [&] {
    const bindings::TextArgument text = Argument(argv[0]);
    std::optional<ByteArray> converted;
    std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.bytes.data()),
                                        text.bytes.size());
    if (!text.ansi) {
      converted = bindings::AnsiBytes(text, SIZE_MAX);
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
    const ByteArray base64 = bindings::AnsiBytes(Argument(argv[0]), SIZE_MAX);
    ByteArray decoded(Base64::DecodedSize(base64));
    Base64::DecodeBase64(base64, decoded);
    ResultText(c, TextToUtf8(platform::AnsiToText(decoded)));
  });
}

void Base64DecodeBlob(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1, [&] {
    const ByteArray base64 = bindings::AnsiBytes(Argument(argv[0]), SIZE_MAX);
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
