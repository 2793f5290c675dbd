// The conformance program: every service over the same seeded inputs, one line per battery with
// a count and a 64-bit FNV-1a digest of every result in order, written to the file named by its
// argument. Run by a native build and by a cross build (Windows under Wine, ARM64 and s390x under
// qemu), the two files must be byte-identical: this is how a build without the tests' peers
// (OpenSSL, iconv) is held to the native build's results, themselves held to those peers. Each
// battery runs on every SIMD path the processor has, and the paths must agree. Files are written
// to OUTPUT.files and removed at the end.
//   ansicrypt_conformance OUTPUT
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ansicrypt/ansicrypt.h"
#include "ansicrypt/common/detail/simd_level.h"

namespace {

using ansicrypt::ByteArray;
using ansicrypt::Text;

// The inputs come from std::mt19937's raw output, which the standard fixes on every platform
// (its distributions are not: none is used).
class Inputs {
 public:
  explicit Inputs(std::uint32_t seed) : rng_(seed) {}
  std::uint32_t Next(std::uint32_t bound) { return static_cast<std::uint32_t>(rng_() % bound); }
  ByteArray Bytes(std::size_t n) {
    ByteArray b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng_());
    return b;
  }
  // Mostly ASCII, some of every other unit, lone and paired surrogates among them.
  Text Units(std::size_t n) {
    Text t(n, u'a');
    for (auto& u : t) {
      const std::uint32_t kind = Next(8);
      u = static_cast<char16_t>(kind < 4   ? 0x20 + Next(0x5F)
                                : kind < 7 ? Next(0x10000)
                                           : 0xD800 + Next(0x800));
    }
    return t;
  }
  // ASCII with a non-ASCII unit now and then, so that long ASCII runs (the converters' fast
  // blocks) occur, and their ends.
  Text MostlyAscii(std::size_t n) {
    Text t = Units(n);
    for (auto& u : t) {
      if (Next(64) != 0) u = static_cast<char16_t>(Next(0x80));
    }
    return t;
  }
  ByteArray MostlyAsciiBytes(std::size_t n) {
    ByteArray b = Bytes(n);
    for (auto& x : b) {
      if (Next(64) != 0) x = static_cast<std::uint8_t>(x & 0x7F);
    }
    return b;
  }

 private:
  std::mt19937 rng_;
};

// FNV-1a over the results, each written in a fixed byte order (UTF-16 units low byte first).
class Digest {
 public:
  void Byte(std::uint8_t b) { hash_ = (hash_ ^ b) * 0x100000001B3ULL; }
  void Bytes(const ByteArray& b) {
    Word(b.size());
    for (auto x : b) Byte(x);
  }
  void Units(const Text& t) {
    Word(t.size());
    for (char16_t u : t) {
      Byte(static_cast<std::uint8_t>(u & 0xFF));
      Byte(static_cast<std::uint8_t>(u >> 8));
    }
  }
  void Word(std::uint64_t w) {
    for (int k = 0; k < 8; ++k) Byte(static_cast<std::uint8_t>(w >> (8 * k)));
  }
  // One result, or the library's error number in its place.
  void Result(const std::function<void(Digest&)>& compute) {
    ++count_;
    try {
      compute(*this);
    } catch (const ansicrypt::Error& e) {
      Byte(0xEE);
      Word(static_cast<std::uint64_t>(e.code().value()));
    }
  }
  std::string Line(const std::string& name) const {
    char line[160];
    std::snprintf(line, sizeof line, "%s %zu %016llx\n", name.c_str(), count_,
                  static_cast<unsigned long long>(hash_));
    return line;
  }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325ULL;
  std::size_t count_ = 0;
};

constexpr unsigned kCodePages[] = {874,  932,  936,  949,  950,  1250, 1251, 1252,
                                   1253, 1254, 1255, 1256, 1257, 1258, 65001};

std::string Ciphers() {
  std::string out;
  Inputs in(1);
  Digest des, triple;
  for (int i = 0; i < 400; ++i) {
    const ByteArray key = in.Bytes(in.Next(20));
    // Lengths around the bitsliced batches and the limit, empty ones too.
    const std::size_t n = i % 50 == 0 ? 32760 + in.Next(3) : in.Next(600);
    const ByteArray data = in.Bytes(n);
    des.Result([&](Digest& d) {
      ansicrypt::DES cipher;
      cipher.SetKey(key);
      for (const std::uint8_t keyNumber : {std::uint8_t{1}, std::uint8_t{2}}) {
        for (const std::uint8_t direction : {std::uint8_t{1}, std::uint8_t{2}}) {
          ByteArray output;
          std::uint8_t k = keyNumber;
          cipher.EncryptDes_ArrToArr(data, output, k, direction);
          d.Bytes(output);
        }
      }
    });
    triple.Result([&](Digest& d) {
      ansicrypt::DES cipher;
      cipher.SetKey(key);
      for (std::uint8_t direction = 0; direction <= 4; ++direction) {
        ByteArray output;
        cipher.Encrypt3Des_ArrToArr(data, output, direction);
        d.Bytes(output);
      }
    });
  }
  return des.Line("des") + triple.Line("3des");
}

std::string DigestsAndBase64() {
  Inputs in(2);
  Digest md5, encode, decode;
  for (int i = 0; i < 600; ++i) {
    const std::size_t n = i % 60 == 0 ? 32766 + in.Next(3) : in.Next(700);
    const ByteArray data = in.Bytes(n);
    md5.Result([&](Digest& d) {
      ansicrypt::clsMD5 digest;
      d.Units(digest.Md5_Arr_Calc(data));
      d.Units(digest.RegisterA());  // the registers as the legacy program shows them
    });
    encode.Result([&](Digest& d) { d.Bytes(ansicrypt::Base64::EncodeBase64(data)); });
    // Base64 texts, now and then damaged by a byte from outside the alphabet or a misplaced pad.
    ByteArray text = ansicrypt::Base64::EncodeBase64(data);
    if (!text.empty() && in.Next(3) == 0)
      text[in.Next(static_cast<std::uint32_t>(text.size()))] =
          static_cast<std::uint8_t>(in.Next(256));
    decode.Result([&](Digest& d) { d.Bytes(ansicrypt::Base64::DecodeBase64(text)); });
  }
  return md5.Line("md5") + encode.Line("base64-encode") + decode.Line("base64-decode");
}

std::string CodePage(unsigned page, bool bestFit) {
  ansicrypt::platform::SetAnsiCodePage(page);
  ansicrypt::platform::SetAnsiBestFit(bestFit);
  Inputs in(page * 2 + (bestFit ? 1 : 0));
  Digest bytesToText, unitsToBytes, mixed, texts;
  // Every byte and every pair of bytes.
  for (unsigned first = 0; first < 256; ++first) {
    bytesToText.Result([&](Digest& d) {
      d.Units(ansicrypt::platform::AnsiToText({static_cast<std::uint8_t>(first)}));
      for (unsigned second = 0; second < 256; ++second) {
        d.Units(ansicrypt::platform::AnsiToText(
            {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second)}));
      }
    });
  }
  // Every UTF-16 unit alone.
  for (unsigned high = 0; high < 256; ++high) {
    unitsToBytes.Result([&](Digest& d) {
      for (unsigned low = 0; low < 256; ++low) {
        const char16_t unit = static_cast<char16_t>(high << 8 | low);
        d.Bytes(ansicrypt::platform::TextToAnsi(std::u16string_view(&unit, 1)));
      }
    });
  }
  // Long mixed inputs across the converters' blocks and pieces, both ways.
  for (int i = 0; i < 60; ++i) {
    const std::size_t n = in.Next(9000);
    const bool ascii = i % 2 == 0;
    const Text text = ascii ? in.MostlyAscii(n) : in.Units(n);
    const ByteArray bytes = ascii ? in.MostlyAsciiBytes(n) : in.Bytes(n);
    mixed.Result([&](Digest& d) {
      d.Bytes(ansicrypt::platform::TextToAnsi(text));
      d.Units(ansicrypt::platform::AnsiToText(bytes));
    });
  }
  // The text forms of the services.
  for (int i = 0; i < 60; ++i) {
    const Text plain = in.Units(in.Next(300));
    const Text key = in.Units(in.Next(12));
    texts.Result([&](Digest& d) {
      const Text hex = ansicrypt::EncryptDes_StrToHex(plain, key);
      d.Units(hex);
      d.Units(ansicrypt::DecryptDes_HexToStr(hex, key));
    });
    texts.Result([&](Digest& d) {
      const Text encoded = ansicrypt::EncodeBase64_StrToStr(plain);
      d.Units(encoded);
      d.Units(ansicrypt::DecodeBase64_StrToStr(encoded));
    });
    texts.Result([&](Digest& d) { d.Units(ansicrypt::clsMD5().Md5_String_Calc(plain)); });
  }
  const std::string name = std::to_string(page) + (bestFit ? "-bestfit" : "");
  return bytesToText.Line(name + "-bytes") + unitsToBytes.Line(name + "-units") +
         mixed.Line(name + "-mixed") + texts.Line(name + "-texts");
}

// Files: each alone and all at once (the lanes), from a folder of seeded files.
std::string Files(const std::filesystem::path& folder) {
  Inputs in(3);
  std::vector<std::filesystem::path> files;
  std::filesystem::create_directories(folder);
  for (int i = 0; i < 40; ++i) {
    const std::size_t n = i % 10 == 0 ? 300000 + in.Next(70000) : in.Next(5000);
    files.push_back(folder / ("f" + std::to_string(i)));
    const ByteArray bytes = in.Bytes(n);
    std::ofstream(files.back(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(n));
  }
  files.push_back(folder / "missing");
  Digest digest;
  ansicrypt::clsMD5 md5;
  for (const auto& file : files) {
    digest.Result([&](Digest& d) {
      std::error_code error;
      d.Units(md5.Md5_File_Calc(file, error));
      d.Word(error ? 1 : 0);
    });
  }
  digest.Result([&](Digest& d) {
    for (const Text& t : md5.Md5_Files_Calc(files)) d.Units(t);
  });
  return digest.Line("files");
}

std::string Battery(const std::filesystem::path& folder) {
  std::string out = Ciphers() + DigestsAndBase64() + Files(folder);
  for (unsigned page : kCodePages) {
    for (bool bestFit : {false, true}) out += CodePage(page, bestFit);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ansicrypt_conformance OUTPUT\n");
    return 2;
  }
  using ansicrypt::detail::SimdLevel;
  std::string first;
  for (SimdLevel level : ansicrypt::detail::kAllSimdLevels) {
    if (ansicrypt::detail::DetectedSimdLevel() < level) break;
    ansicrypt::detail::ForceSimdLevel(level);
    const std::string results = Battery(std::string(argv[1]) + ".files");
    if (first.empty()) {
      first = results;
    } else if (results != first) {
      std::fprintf(stderr, "the SIMD path %s differs from the portable one:\n%s\n---\n%s",
                   std::string(ansicrypt::ActiveSimdPath()).c_str(), first.c_str(),
                   results.c_str());
      return 1;
    }
  }
  std::filesystem::remove_all(std::string(argv[1]) + ".files");
  std::ofstream out(argv[1], std::ios::binary);
  out << first;
  return out.flush() ? 0 : 1;
}
