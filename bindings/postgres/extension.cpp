// The PostgreSQL extension: the functions of the SQLite extension, with the same names, arguments
// and results, plus the byte-array cipher. Texts arrive in the database's encoding and are
// converted to UTF-8 (and results back) by the server's own routines; a bytea where a text is
// expected is the text's bytes in the code page already. The code page (1252 when not given) and
// best fit (off) come with the call: a result depends on its arguments alone, so that a function
// may back an index and run in a parallel worker. A library error aborts the statement with
// SQLSTATE 22023 and the legacy number in its message.
//
// The server reports errors with longjmp, which must never cross a frame holding C++ objects:
// the entry points below hold plain values only and call the server's routines that may raise;
// the library runs in noexcept functions (Guarded) that catch every exception and hand back an
// Outcome, whose result lives in the server's memory.
// The module is built with hidden symbols; what the server calls is marked for export (the
// server's headers leave the mark empty on this system).
#define PGDLLEXPORT __attribute__((visibility("default")))
extern "C" {
#include <postgres.h>
// The server's headers after postgres.h, which they need first.
#include <fmgr.h>
#include <mb/pg_wchar.h>
#include <miscadmin.h>
#include <utils/builtins.h>
#include <utils/memutils.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "ansicrypt/ansicrypt.h"
#include "bindings/common/base64_pieces.h"
#include "bindings/common/call_settings.h"
#include "bindings/common/error_text.h"
#include "bindings/common/text_argument.h"
#include "bindings/common/utf8_argument.h"

namespace ansicrypt::postgres {
namespace {

using bindings::CallScope;
using bindings::CallSettings;
using bindings::TextArgument;

// Large Base64 values are converted in pieces of this many characters, with a check for cancel
// and statement_timeout between them.
constexpr std::size_t kBase64Piece = std::size_t{4} << 20;

// What a guarded call gives back: a result in the server's memory, or why there is none.
enum class Failure { none, library, not_utf8, nul_character, too_long, out_of_memory, internal };
struct Outcome {
  Failure failure = Failure::none;
  varlena* result = nullptr;  // text (UTF-8) or bytea
  char error[96] = {};        // the library's error in words, for Failure::library
};

// Server memory for a value of `size` bytes, or a C++ exception: the allocation never raises a
// server error (no longjmp out of C++ frames).
varlena* NewValue(std::size_t size) {
  if (size > MaxAllocSize - VARHDRSZ) throw std::length_error("value");
  void* memory =
      MemoryContextAllocExtended(CurrentMemoryContext, size + VARHDRSZ, MCXT_ALLOC_NO_OOM);
  if (memory == nullptr) throw std::bad_alloc();
  auto* value = static_cast<varlena*>(memory);
  SET_VARSIZE(value, size + VARHDRSZ);
  return value;
}

std::span<std::uint8_t> Payload(varlena* value) {
  return {reinterpret_cast<std::uint8_t*>(VARDATA(value)), VARSIZE(value) - VARHDRSZ};
}

varlena* NewValue(std::span<const std::uint8_t> bytes) {
  varlena* value = NewValue(bytes.size());
  if (!bytes.empty()) std::memcpy(VARDATA(value), bytes.data(), bytes.size());
  return value;
}

struct NulCharacter {};

CallSettings Settings(std::int32_t codePage, bool bestFit) {
  return {bindings::CheckedCodePage(codePage), bestFit};
}

// Runs `operation` with every exception turned into an Outcome.
template <class Operation>
Outcome Guarded(Operation operation) noexcept {
  Outcome outcome;
  try {
    outcome.result = operation();
  } catch (const Error& e) {
    outcome.failure = Failure::library;
    try {
      const std::string text = bindings::ErrorText(e.code());
      std::snprintf(outcome.error, sizeof outcome.error, "%s", text.c_str());
    } catch (...) {
      std::snprintf(outcome.error, sizeof outcome.error, "error %d", e.code().value());
    }
  } catch (const bindings::NotUtf8&) {
    outcome.failure = Failure::not_utf8;
  } catch (const NulCharacter&) {
    outcome.failure = Failure::nul_character;
  } catch (const std::length_error&) {
    outcome.failure = Failure::too_long;
  } catch (const std::bad_alloc&) {
    outcome.failure = Failure::out_of_memory;
  } catch (...) {
    outcome.failure = Failure::internal;
  }
  return outcome;
}

// A text result of the library, as UTF-8 in server memory.
varlena* TextResult(const std::string& utf8) {
  if (utf8.find('\0') != std::string::npos) throw NulCharacter();
  return NewValue({reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()});
}

// The object keyed for the last row's key and settings, kept for the query in the function's
// fn_extra: a column converted under one key schedules it once. Only what takes part in the key
// is compared: the first 8 bytes of a bytea, the first nine characters of a text.
struct KeyCache {
  CallSettings settings;
  bool ansi = false;
  std::size_t length = 0;
  char prefix[40] = {};
  DES des;
};
static_assert(std::is_trivially_destructible_v<KeyCache>,
              "server memory is freed without running destructors");

std::string_view KeyPart(const TextArgument& key) {
  return key.ansi ? key.bytes.substr(0, 8) : bindings::KeyPrefix(key.bytes);
}

// Under the call's settings in force.
DES& Keyed(FmgrInfo* flinfo, const TextArgument& key, const CallSettings& settings) {
  const std::string_view part = KeyPart(key);
  auto* cache = static_cast<KeyCache*>(flinfo->fn_extra);
  if (cache != nullptr && cache->settings == settings && cache->ansi == key.ansi &&
      std::string_view(cache->prefix, cache->length) == part) {
    return cache->des;
  }
  // The key's bytes first: a failure leaves the cache as it was, valid for its own key.
  const ByteArray keyBytes = bindings::KeyBytes(key);
  if (cache == nullptr) {
    void* memory = MemoryContextAllocExtended(flinfo->fn_mcxt, sizeof(KeyCache), MCXT_ALLOC_NO_OOM);
    if (memory == nullptr) throw std::bad_alloc();
    cache = new (memory) KeyCache();
    flinfo->fn_extra = cache;
  }
  cache->des.SetKey1(keyBytes);  // never fails
  cache->settings = settings;
  cache->ansi = key.ansi;
  std::memcpy(cache->prefix, part.data(), part.size());
  cache->length = part.size();
  return cache->des;
}

Outcome DesEncrypt(FmgrInfo* flinfo, TextArgument plain, TextArgument key, std::int32_t codePage,
                   bool bestFit) {
  return Guarded([&] {
    const CallSettings settings = Settings(codePage, bestFit);
    const CallScope scope(settings, CallSettings{});
    const ByteArray bytes = bindings::AnsiBytes(plain, DES::kMaxInputBytes);  // its errors first
    return TextResult(TextToUtf8(EncryptDes_ArrToHex(bytes, Keyed(flinfo, key, settings))));
  });
}

Outcome DesDecrypt(FmgrInfo* flinfo, TextArgument hex, TextArgument key, std::int32_t codePage,
                   bool bestFit) {
  return Guarded([&] {
    const CallSettings settings = Settings(codePage, bestFit);
    const CallScope scope(settings, CallSettings{});
    return TextResult(bindings::DesDecrypt(hex, Keyed(flinfo, key, settings)));
  });
}

Outcome Md5(TextArgument text, std::int32_t codePage, bool bestFit) {
  return Guarded([&] {
    const CallScope scope(Settings(codePage, bestFit), CallSettings{});
    return TextResult(bindings::Md5(text));
  });
}

// Only the check of the settings arguments, for calls that may not convert anything (a bytea's
// Base64): a bad code page is an error whatever the data.
Outcome CheckSettings(std::int32_t codePage, bool bestFit) {
  return Guarded([&]() -> varlena* {
    Settings(codePage, bestFit);
    return nullptr;
  });
}

// The argument's ANSI bytes in server memory (a bytea's bytes need no copy and are not given here).
Outcome AnsiValue(TextArgument text, std::int32_t codePage, bool bestFit) {
  return Guarded([&] {
    const CallScope scope(Settings(codePage, bestFit), CallSettings{});
    return NewValue(bindings::AnsiBytes(text, MaxAllocSize));
  });
}

// The Base64 text of `bytes` in server memory, still to be filled by EncodePiece.
Outcome Base64EncodedValue(std::size_t bytes) {
  return Guarded([&] { return NewValue(Base64::EncodedSize(bytes)); });
}

Outcome EncodePiece(std::span<const std::uint8_t> data, std::size_t at, varlena* out) {
  return Guarded([&] {
    bindings::EncodeBase64Piece(data, at, kBase64Piece / 4 * 3, Payload(out));
    return out;
  });
}

Outcome Base64DecodedValue(std::span<const std::uint8_t> base64) {
  return Guarded([&] { return NewValue(Base64::DecodedSize(base64)); });
}

Outcome DecodePiece(std::span<const std::uint8_t> base64, std::size_t at, varlena* out) {
  return Guarded([&] {
    bindings::DecodeBase64Piece(base64, at, kBase64Piece, Payload(out));
    return out;
  });
}

// Decoded bytes as a text through the code page.
Outcome AnsiToTextValue(varlena* bytes, std::int32_t codePage, bool bestFit) {
  return Guarded([&] {
    const CallScope scope(Settings(codePage, bestFit), CallSettings{});
    const auto payload = Payload(bytes);
    return TextResult(TextToUtf8(platform::AnsiToText(ByteArray(payload.begin(), payload.end()))));
  });
}

Outcome DesEcb(std::span<const std::uint8_t> data, std::span<const std::uint8_t> key, bool encrypt,
               std::int32_t keyNumber, bool triple) {
  return Guarded([&] {
    if (!triple && keyNumber != 1 && keyNumber != 2) throw Error(errc::invalid_argument);
    DES des;
    des.SetKey(ByteArray(key.begin(), key.end()));
    const ByteArray input(data.begin(), data.end());
    ByteArray output;
    const std::uint8_t direction = encrypt ? 1 : 2;
    if (triple) {
      des.Encrypt3Des_ArrToArr(input, output, direction);
    } else {
      auto number = static_cast<std::uint8_t>(keyNumber);
      des.EncryptDes_ArrToArr(input, output, number, direction);
    }
    return NewValue(output);
  });
}

}  // namespace
}  // namespace ansicrypt::postgres

// The entry points: plain values only from here on (see the top of the file).
namespace {

namespace ap = ansicrypt::postgres;
using ansicrypt::bindings::TextArgument;

// Raises the server error for a failed outcome; does nothing for a good one.
void Check(const char* function, const ap::Outcome& outcome) {
  switch (outcome.failure) {
    case ap::Failure::none:
      return;
    case ap::Failure::library:
      ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                      errmsg("%s: %s", function, outcome.error)));
    case ap::Failure::not_utf8:
      ereport(ERROR, (errcode(ERRCODE_CHARACTER_NOT_IN_REPERTOIRE),
                      errmsg("%s: the text is not valid UTF-8", function)));
    case ap::Failure::nul_character:
      ereport(ERROR, (errcode(ERRCODE_UNTRANSLATABLE_CHARACTER),
                      errmsg("%s: the result holds the character U+0000, which a text cannot hold",
                             function),
                      errhint("ansi_base64_decode_blob gives the bytes as a bytea.")));
    case ap::Failure::too_long:
      ereport(ERROR,
              (errcode(ERRCODE_PROGRAM_LIMIT_EXCEEDED),
               errmsg("%s: the result would be longer than a value can be (1 GB)", function)));
    case ap::Failure::out_of_memory:
      ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("%s: out of memory", function)));
    case ap::Failure::internal:
      ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR), errmsg("%s: internal error", function)));
  }
}

bool IsAscii(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (static_cast<unsigned char>(data[i]) >= 0x80) return false;
  }
  return true;
}

// An SQL_ASCII database stores bytes without saying what they mean: a non-ASCII byte is refused
// rather than guessed at.
void RefuseSqlAscii(const char* function, const char* what) {
  ereport(ERROR,
          (errcode(ERRCODE_CHARACTER_NOT_IN_REPERTOIRE),
           errmsg("%s: the %s holds non-ASCII characters, which an SQL_ASCII database does not "
                  "define",
                  function, what),
           errhint("Pass the code page's bytes as a bytea, or use a database with an encoding "
                   "(UTF8, WIN1252, ...).")));
}

// Names the function in the server's own errors of a conversion between the database's encoding
// and UTF-8 ("character with byte sequence ... has no equivalent in encoding ...").
void ConversionContext(void* function) {
  errcontext("%s: converting between the database's encoding and UTF-8",
             static_cast<const char*>(function));
}

// Calls `convert` with ConversionContext in force.
template <class Convert>
const char* WithConversionContext(const char* function, Convert convert) {
  ErrorContextCallback context;
  context.callback = ConversionContext;
  context.arg = const_cast<char*>(function);
  context.previous = error_context_stack;
  error_context_stack = &context;
  const char* converted = convert();
  error_context_stack = context.previous;
  return converted;
}

// A text argument as UTF-8, converted from the database's encoding by the server.
TextArgument TextArg(FunctionCallInfo fcinfo, int n, const char* function) {
  text* value = PG_GETARG_TEXT_PP(n);
  const char* data = VARDATA_ANY(value);
  std::size_t size = VARSIZE_ANY_EXHDR(value);
  const int encoding = GetDatabaseEncoding();
  if (encoding == PG_SQL_ASCII) {
    if (!IsAscii(data, size)) RefuseSqlAscii(function, "text");
  } else if (encoding != PG_UTF8 && size > 0) {
    const char* utf8 = WithConversionContext(
        function, [&] { return pg_server_to_any(data, static_cast<int>(size), PG_UTF8); });
    if (utf8 != data) size = std::strlen(utf8);
    data = utf8;
  }
  return {std::string_view(data, size), false};
}

std::span<const std::uint8_t> ByteaSpan(FunctionCallInfo fcinfo, int n) {
  bytea* value = PG_GETARG_BYTEA_PP(n);
  return {reinterpret_cast<const std::uint8_t*>(VARDATA_ANY(value)), VARSIZE_ANY_EXHDR(value)};
}

TextArgument ByteaArg(FunctionCallInfo fcinfo, int n) {
  const auto bytes = ByteaSpan(fcinfo, n);
  return {std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), true};
}

TextArgument Arg(FunctionCallInfo fcinfo, int n, bool bytea, const char* function) {
  return bytea ? ByteaArg(fcinfo, n) : TextArg(fcinfo, n, function);
}

// A text result: UTF-8 from the library, in the database's encoding for the server.
Datum ReturnText(const char* function, const ap::Outcome& outcome) {
  Check(function, outcome);
  varlena* utf8 = outcome.result;
  const char* data = VARDATA(utf8);
  const std::size_t size = VARSIZE(utf8) - VARHDRSZ;
  const int encoding = GetDatabaseEncoding();
  if (encoding == PG_UTF8) PG_RETURN_TEXT_P(utf8);
  if (encoding == PG_SQL_ASCII) {
    if (!IsAscii(data, size)) RefuseSqlAscii(function, "result");
    PG_RETURN_TEXT_P(utf8);
  }
  // The conversion raises "has no equivalent in encoding ..." for a character the database's
  // encoding lacks; the library's texts never hold U+0000 here.
  const char* converted = WithConversionContext(
      function, [&] { return pg_any_to_server(data, static_cast<int>(size), PG_UTF8); });
  if (converted == data) PG_RETURN_TEXT_P(utf8);
  PG_RETURN_TEXT_P(cstring_to_text(converted));
}

Datum ReturnBytea(const char* function, const ap::Outcome& outcome) {
  Check(function, outcome);
  PG_RETURN_BYTEA_P(outcome.result);
}

std::int32_t CodePageArg(FunctionCallInfo fcinfo, int n) { return PG_GETARG_INT32(n); }

template <bool DataBytea, bool KeyBytea>
Datum DesEncrypt(FunctionCallInfo fcinfo) {
  constexpr const char* name = "ansi_des_encrypt";
  const TextArgument plain = Arg(fcinfo, 0, DataBytea, name);
  const TextArgument key = Arg(fcinfo, 1, KeyBytea, name);
  return ReturnText(
      name, ap::DesEncrypt(fcinfo->flinfo, plain, key, CodePageArg(fcinfo, 2), PG_GETARG_BOOL(3)));
}

template <bool DataBytea, bool KeyBytea>
Datum DesDecrypt(FunctionCallInfo fcinfo) {
  constexpr const char* name = "ansi_des_decrypt";
  const TextArgument hex = Arg(fcinfo, 0, DataBytea, name);
  const TextArgument key = Arg(fcinfo, 1, KeyBytea, name);
  return ReturnText(
      name, ap::DesDecrypt(fcinfo->flinfo, hex, key, CodePageArg(fcinfo, 2), PG_GETARG_BOOL(3)));
}

template <bool DataBytea>
Datum Md5(FunctionCallInfo fcinfo) {
  constexpr const char* name = "ansi_md5";
  const TextArgument text = Arg(fcinfo, 0, DataBytea, name);
  return ReturnText(name, ap::Md5(text, CodePageArg(fcinfo, 1), PG_GETARG_BOOL(2)));
}

// The ANSI bytes of argument 0: a bytea's own, or the text's converted under the call's settings.
std::span<const std::uint8_t> AnsiArg(FunctionCallInfo fcinfo, bool bytea, const char* function,
                                      std::int32_t codePage, bool bestFit) {
  if (bytea) return ByteaSpan(fcinfo, 0);
  const ap::Outcome converted = ap::AnsiValue(TextArg(fcinfo, 0, function), codePage, bestFit);
  Check(function, converted);
  return ap::Payload(converted.result);
}

template <bool DataBytea>
Datum Base64Encode(FunctionCallInfo fcinfo) {
  constexpr const char* name = "ansi_base64_encode";
  const std::int32_t codePage = CodePageArg(fcinfo, 1);
  const bool bestFit = PG_GETARG_BOOL(2);
  Check(name, ap::CheckSettings(codePage, bestFit));
  const auto data = AnsiArg(fcinfo, DataBytea, name, codePage, bestFit);
  const ap::Outcome encoded = ap::Base64EncodedValue(data.size());
  Check(name, encoded);
  for (std::size_t at = 0; at < data.size(); at += ap::kBase64Piece / 4 * 3) {
    CHECK_FOR_INTERRUPTS();
    Check(name, ap::EncodePiece(data, at, encoded.result));
  }
  PG_RETURN_TEXT_P(encoded.result);  // ASCII: the same in every encoding the server has
}

// The decoded bytes of argument 0, in pieces with a check for cancel between them.
varlena* DecodedArg(FunctionCallInfo fcinfo, bool bytea, const char* function,
                    std::int32_t codePage, bool bestFit) {
  const auto base64 = AnsiArg(fcinfo, bytea, function, codePage, bestFit);
  const ap::Outcome decoded = ap::Base64DecodedValue(base64);
  Check(function, decoded);
  for (std::size_t at = 0; at < base64.size(); at += ap::kBase64Piece) {
    CHECK_FOR_INTERRUPTS();
    Check(function, ap::DecodePiece(base64, at, decoded.result));
  }
  return decoded.result;
}

template <bool DataBytea>
Datum Base64Decode(FunctionCallInfo fcinfo) {
  constexpr const char* name = "ansi_base64_decode";
  const std::int32_t codePage = CodePageArg(fcinfo, 1);
  const bool bestFit = PG_GETARG_BOOL(2);
  Check(name, ap::CheckSettings(codePage, bestFit));
  varlena* bytes = DecodedArg(fcinfo, DataBytea, name, codePage, bestFit);
  CHECK_FOR_INTERRUPTS();
  return ReturnText(name, ap::AnsiToTextValue(bytes, codePage, bestFit));
}

template <bool DataBytea>
Datum Base64DecodeBlob(FunctionCallInfo fcinfo) {
  PG_RETURN_BYTEA_P(DecodedArg(fcinfo, DataBytea, "ansi_base64_decode_blob", 1252, false));
}

Datum DesEcb(FunctionCallInfo fcinfo) {
  return ReturnBytea("ansi_des_ecb", ap::DesEcb(ByteaSpan(fcinfo, 0), ByteaSpan(fcinfo, 1),
                                                PG_GETARG_BOOL(2), PG_GETARG_INT32(3), false));
}

Datum TripleDesEcb(FunctionCallInfo fcinfo) {
  return ReturnBytea("ansi_3des_ecb", ap::DesEcb(ByteaSpan(fcinfo, 0), ByteaSpan(fcinfo, 1),
                                                 PG_GETARG_BOOL(2), 1, true));
}

}  // namespace

// What the server calls: the module's magic block and, per SQL function, its C function and the
// record that says it uses the version-1 calling convention. Suffixes: t for a text, b for a bytea
// argument, in order.
#define ANSICRYPT_ENTRY(name, call) \
  PG_FUNCTION_INFO_V1(name);        \
  PGDLLEXPORT Datum name(PG_FUNCTION_ARGS) { return call(fcinfo); }

extern "C" {
PG_MODULE_MAGIC;
ANSICRYPT_ENTRY(ansicrypt_des_encrypt_tt, (DesEncrypt<false, false>))
ANSICRYPT_ENTRY(ansicrypt_des_encrypt_tb, (DesEncrypt<false, true>))
ANSICRYPT_ENTRY(ansicrypt_des_encrypt_bt, (DesEncrypt<true, false>))
ANSICRYPT_ENTRY(ansicrypt_des_encrypt_bb, (DesEncrypt<true, true>))
ANSICRYPT_ENTRY(ansicrypt_des_decrypt_tt, (DesDecrypt<false, false>))
ANSICRYPT_ENTRY(ansicrypt_des_decrypt_tb, (DesDecrypt<false, true>))
ANSICRYPT_ENTRY(ansicrypt_des_decrypt_bt, (DesDecrypt<true, false>))
ANSICRYPT_ENTRY(ansicrypt_des_decrypt_bb, (DesDecrypt<true, true>))
ANSICRYPT_ENTRY(ansicrypt_md5_t, Md5<false>)
ANSICRYPT_ENTRY(ansicrypt_md5_b, Md5<true>)
ANSICRYPT_ENTRY(ansicrypt_base64_encode_t, Base64Encode<false>)
ANSICRYPT_ENTRY(ansicrypt_base64_encode_b, Base64Encode<true>)
ANSICRYPT_ENTRY(ansicrypt_base64_decode_t, Base64Decode<false>)
ANSICRYPT_ENTRY(ansicrypt_base64_decode_b, Base64Decode<true>)
ANSICRYPT_ENTRY(ansicrypt_base64_decode_blob_t, Base64DecodeBlob<false>)
ANSICRYPT_ENTRY(ansicrypt_base64_decode_blob_b, Base64DecodeBlob<true>)
ANSICRYPT_ENTRY(ansicrypt_des_ecb, DesEcb)
ANSICRYPT_ENTRY(ansicrypt_3des_ecb, TripleDesEcb)
}
