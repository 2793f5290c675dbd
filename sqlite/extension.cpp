// The SQLite extension: the library's text operations as deterministic SQL functions. Texts are
// UTF-8 in SQL and UTF-16 in the library; an optional last argument names the code page for the
// call. NULL in any argument gives NULL; a library error aborts the statement with its message.
#include <sqlite3ext.h>

#include <optional>
#include <string>
#include <string_view>

#include "ansicrypt/ansicrypt.h"

SQLITE_EXTENSION_INIT1

namespace ansicrypt::sqlite {
namespace {

Text TextArgument(sqlite3_value* value) {
  const auto* data = reinterpret_cast<const char*>(sqlite3_value_text(value));
  const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
  return Utf8ToText(std::string_view(data == nullptr ? "" : data, size));
}

void ResultText(sqlite3_context* context, const Text& text) {
  const std::string utf8 = TextToUtf8(text);
  sqlite3_result_text64(context, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void ResultBlob(sqlite3_context* context, const ByteArray& bytes) {
  sqlite3_result_blob64(context, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

// Calls `operation` with the code page of the optional argument `pageAt` in force, and turns a
// library error into an SQL error naming the function and the legacy number.
template <class Operation>
void Run(sqlite3_context* context, int argc, sqlite3_value** argv, int pageAt,
         Operation operation) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // the result stays NULL
  }
  try {
    std::optional<platform::ScopedAnsiCodePage> page;
    if (argc > pageAt) {
      const sqlite3_int64 number = sqlite3_value_int64(argv[pageAt]);
      if (number < 0 || number > 0xFFFF ||
          sqlite3_value_numeric_type(argv[pageAt]) != SQLITE_INTEGER) {
        throw Error(errc::invalid_argument);
      }
      page.emplace(static_cast<unsigned>(number));
    }
    operation();
  } catch (const Error& e) {
    const std::string message = static_cast<const char*>(sqlite3_user_data(context)) +
                                std::string(": ") + e.code().message() + " (error " +
                                std::to_string(e.code().value()) + ")";
    sqlite3_result_error(context, message.c_str(), -1);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  }
}

void DesEncrypt(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 2,
      [&] { ResultText(c, EncryptDes_StrToHex(TextArgument(argv[0]), TextArgument(argv[1]))); });
}

void DesDecrypt(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 2,
      [&] { ResultText(c, DecryptDes_HexToStr(TextArgument(argv[0]), TextArgument(argv[1]))); });
}

void Md5(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1, [&] { ResultText(c, clsMD5().Md5_String_Calc(TextArgument(argv[0]))); });
}

// A BLOB is encoded as its bytes, anything else as text through the code page.
void Base64Encode(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1, [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) {
      const auto* data = static_cast<const std::uint8_t*>(sqlite3_value_blob(argv[0]));
      const ByteArray bytes(data, data + sqlite3_value_bytes(argv[0]));
      const ByteArray encoded = Base64::EncodeBase64(bytes);
      ResultText(c, Text(encoded.begin(), encoded.end()));
    } else {
      ResultText(c, EncodeBase64_StrToStr(TextArgument(argv[0])));
    }
  });
}

void Base64Decode(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1, [&] { ResultText(c, DecodeBase64_StrToStr(TextArgument(argv[0]))); });
}

void Base64DecodeBlob(sqlite3_context* c, int argc, sqlite3_value** argv) {
  Run(c, argc, argv, 1, [&] {
    const auto* data = sqlite3_value_text(argv[0]);
    const ByteArray text(data, data + sqlite3_value_bytes(argv[0]));
    ResultBlob(c, Base64::DecodeBase64(text));
  });
}

struct Function {
  const char* name;
  int minArgs;
  int maxArgs;
  void (*call)(sqlite3_context*, int, sqlite3_value**);
};

constexpr Function kFunctions[] = {
    {"ansi_des_encrypt", 2, 3, DesEncrypt},
    {"ansi_des_decrypt", 2, 3, DesDecrypt},
    {"ansi_md5", 1, 2, Md5},
    {"ansi_base64_encode", 1, 2, Base64Encode},
    {"ansi_base64_decode", 1, 2, Base64Decode},
    {"ansi_base64_decode_blob", 1, 1, Base64DecodeBlob},
};

}  // namespace
}  // namespace ansicrypt::sqlite

extern "C" int sqlite3_ansicrypt_init(sqlite3* db, char** errorMessage,
                                      const sqlite3_api_routines* api) {
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
