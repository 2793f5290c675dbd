// The Python module "ansicrypt": the library's services over str, bytes and os.PathLike, with the
// library's errors as ansicrypt.Error (a ValueError carrying the legacy number in .code).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ansicrypt/ansicrypt.h"

namespace py = pybind11;

namespace ansicrypt::python {
namespace {

// Inputs from this size on are converted with the interpreter's lock released, so that other
// Python threads run meanwhile; below it, releasing costs more than it gives.
constexpr std::size_t kReleaseLockBytes = 64 * 1024;

// A str as UTF-16 units: read straight from the string's storage (one, two or four bytes per
// character); characters beyond U+FFFF become surrogate pairs, and lone surrogates stay as they
// are, as the library's texts hold them.
Text ToText(const py::str& text) {
  PyObject* o = text.ptr();
  const auto n = static_cast<std::size_t>(PyUnicode_GET_LENGTH(o));
  const void* data = PyUnicode_DATA(o);
  switch (PyUnicode_KIND(o)) {
    case PyUnicode_1BYTE_KIND: {
      const auto* chars = static_cast<const Py_UCS1*>(data);
      return Text(chars, chars + n);
    }
    case PyUnicode_2BYTE_KIND: {
      const auto* chars = static_cast<const Py_UCS2*>(data);
      return Text(chars, chars + n);
    }
    default: {
      const auto* chars = static_cast<const Py_UCS4*>(data);
      Text result;
      result.reserve(n + n / 4);
      for (std::size_t i = 0; i < n; ++i) {
        const Py_UCS4 c = chars[i];
        if (c < 0x10000) {
          result += static_cast<char16_t>(c);
        } else {
          result += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
          result += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
      }
      return result;
    }
  }
}

// A text as a str; a surrogate pair becomes its character, a lone surrogate stays one.
py::str FromText(const Text& text) {
  const bool surrogates =
      std::any_of(text.begin(), text.end(), [](char16_t u) { return u >= 0xD800 && u <= 0xDFFF; });
  PyObject* str = nullptr;
  if (!surrogates) {
    str = PyUnicode_FromKindAndData(PyUnicode_2BYTE_KIND, text.data(),
                                    static_cast<Py_ssize_t>(text.size()));
  } else {
    int order = -1;  // little-endian, whatever the machine
    str = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()),
                                static_cast<Py_ssize_t>(text.size() * 2), "surrogatepass", &order);
  }
  if (str == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(str);
}

// Any object with the buffer protocol (bytes, bytearray, memoryview, array), held for the call
// without a copy; a non-contiguous view raises BufferError.
class BytesView {
 public:
  explicit BytesView(const py::object& data) {
    if (PyObject_GetBuffer(data.ptr(), &view_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  }
  ~BytesView() { PyBuffer_Release(&view_); }
  BytesView(const BytesView&) = delete;
  BytesView& operator=(const BytesView&) = delete;

  std::span<const std::uint8_t> span() const {
    return {static_cast<const std::uint8_t*>(view_.buf), static_cast<std::size_t>(view_.len)};
  }
  ByteArray copy() const { return ByteArray(span().begin(), span().end()); }

 private:
  Py_buffer view_;
};

ByteArray ToBytes(const py::object& data) { return BytesView(data).copy(); }

// A new bytes object of `size` bytes filled by `fill` straight in place, with the interpreter's
// lock released for large sizes, so that other Python threads run meanwhile.
template <class Fill>
py::bytes NewBytes(std::size_t size, std::size_t work, Fill fill) {
  PyObject* bytes = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size));
  if (bytes == nullptr) throw py::error_already_set();
  py::bytes result = py::reinterpret_steal<py::bytes>(bytes);
  const std::span<std::uint8_t> out(reinterpret_cast<std::uint8_t*>(PyBytes_AS_STRING(bytes)),
                                    size);
  if (work >= kReleaseLockBytes) {
    py::gil_scoped_release unlocked;
    fill(out);
  } else {
    fill(out);
  }
  return result;
}

py::bytes FromBytes(const ByteArray& bytes) {
  return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Runs `operation` under the calling thread's code page, overridden for the call when given.
template <class Operation>
auto UnderCodePage(const std::optional<unsigned>& codePage, Operation operation) {
  if (!codePage) return operation();
  const platform::ScopedAnsiCodePage scope(*codePage);
  return operation();
}

// A `with` block over a scoped override (`with ansicrypt.code_page(936):`): the override lives
// from __enter__ to __exit__.
template <class Scope, class Setting>
class OverrideBlock {
 public:
  explicit OverrideBlock(Setting setting) : setting_(setting) {}
  void Enter() { scope_.emplace(setting_); }
  void Exit(const py::args&) { scope_.reset(); }

 private:
  Setting setting_;
  std::optional<Scope> scope_;
};
using CodePageBlock = OverrideBlock<platform::ScopedAnsiCodePage, unsigned>;
using BestFitBlock = OverrideBlock<platform::ScopedAnsiBestFit, bool>;

py::tuple Registers(const clsMD5& md5) {
  const auto number = [](const Text& text) { return std::stol(TextToUtf8(text)); };
  return py::make_tuple(number(md5.RegisterA()), number(md5.RegisterB()), number(md5.RegisterC()),
                        number(md5.RegisterD()));
}

}  // namespace
}  // namespace ansicrypt::python

PYBIND11_MODULE(ansicrypt, m) {
  using namespace ansicrypt;
  using namespace ansicrypt::python;
  namespace platform = ansicrypt::platform;
  m.doc() =
      "Byte-exact DES, two-key triple DES, MD5 and Base64 of a legacy Windows program, for "
      "migrating its data. DES, ECB and MD5 are broken for new designs.";
  m.attr("__version__") = ANSICRYPT_VERSION;

  static py::exception<Error> error(m, "Error", PyExc_ValueError);
  error.doc() = "A failure of the library; .code is the legacy error number (5, 6, 9 or 13).";
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const Error& e) {
      const int code = e.code().value();
      const py::object type = py::reinterpret_borrow<py::object>(error.ptr());
      py::object instance = type(e.code().message() + " (error " + std::to_string(code) + ")");
      instance.attr("code") = code;
      PyErr_SetObject(error.ptr(), instance.ptr());
    }
  });

  // Code pages.
  m.def("set_ansi_code_page", &platform::SetAnsiCodePage, py::arg("code_page"),
        "Selects the process-wide ANSI code page (SetAnsiCodePage): 874, 932, 936, 949, 950, 1250 "
        "to 1258 or 65001. Error 5 for any other number.");
  m.def("ansi_code_page", &platform::AnsiCodePage,
        "The code page in use on this thread: its override, else the process-wide one (1252).");
  m.def("set_ansi_best_fit", &platform::SetAnsiBestFit, py::arg("best_fit"),
        "Switches Windows' best-fit mappings for text to bytes on or off, process-wide.");
  m.def("ansi_best_fit", &platform::AnsiBestFit, "Whether best fit is in use on this thread.");
  py::class_<CodePageBlock>(m, "code_page",
                            "with ansicrypt.code_page(936): ... overrides the code page on this "
                            "thread inside the block and restores the previous one after it, an "
                            "exception too. Error 5 for an unknown number.")
      .def(py::init<unsigned>(), py::arg("code_page"))
      .def("__enter__", &CodePageBlock::Enter)
      .def("__exit__", &CodePageBlock::Exit);
  py::class_<BestFitBlock>(m, "best_fit",
                           "with ansicrypt.best_fit(True): ... overrides best fit on this thread "
                           "inside the block.")
      .def(py::init<bool>(), py::arg("best_fit"))
      .def("__enter__", &BestFitBlock::Enter)
      .def("__exit__", &BestFitBlock::Exit);

  // Text operations.
  m.def(
      "encrypt_des_str_to_hex",
      [](const py::str& text, const py::str& key, std::optional<unsigned> codePage) {
        return FromText(UnderCodePage(
            codePage, [&] { return EncryptDes_StrToHex(ToText(text), ToText(key)); }));
      },
      py::arg("text"), py::arg("key"), py::kw_only(), py::arg("code_page") = py::none(),
      "EncryptDes_StrToHex: DES (key 1: the first 8 ANSI bytes of the key) of the text's ANSI "
      "bytes, zero-filled to whole blocks, as uppercase hexadecimal. Error 9 for the empty text, "
      "6 for more than 32,760 ANSI bytes.");
  m.def(
      "decrypt_des_hex_to_str",
      [](const py::str& hex, const py::str& key, std::optional<unsigned> codePage) {
        return FromText(
            UnderCodePage(codePage, [&] { return DecryptDes_HexToStr(ToText(hex), ToText(key)); }));
      },
      py::arg("hex"), py::arg("key"), py::kw_only(), py::arg("code_page") = py::none(),
      "DecryptDes_HexToStr: the text up to the first zero byte of the decryption. Error 13 for a "
      "character that is not a hexadecimal digit, 6 for 32,767 characters or more.");
  m.def(
      "encode_base64_str_to_str",
      [](const py::str& text, std::optional<unsigned> codePage) {
        return FromText(
            UnderCodePage(codePage, [&] { return EncodeBase64_StrToStr(ToText(text)); }));
      },
      py::arg("text"), py::kw_only(), py::arg("code_page") = py::none(),
      "EncodeBase64_StrToStr: the Base64 text of the text's ANSI bytes.");
  m.def(
      "decode_base64_str_to_str",
      [](const py::str& text, std::optional<unsigned> codePage) {
        return FromText(
            UnderCodePage(codePage, [&] { return DecodeBase64_StrToStr(ToText(text)); }));
      },
      py::arg("text"), py::kw_only(), py::arg("code_page") = py::none(),
      "DecodeBase64_StrToStr: the text whose ANSI bytes the Base64 text stands for. Error 5 for a "
      "length that is not a multiple of 4, 6 or 9 for a character outside the alphabet.");

  // Bytes.
  m.def(
      "encode_base64",
      [](const py::object& data) {
        const BytesView in(data);
        return NewBytes(Base64::EncodedSize(in.span().size()), in.span().size(),
                        [&](std::span<std::uint8_t> out) { Base64::EncodeBase64(in.span(), out); });
      },
      py::arg("data"), "EncodeBase64: Base64 of any bytes-like object, without line breaks.");
  m.def(
      "decode_base64",
      [](const py::object& data) {
        const BytesView in(data);
        return NewBytes(Base64::DecodedSize(in.span()), in.span().size(),
                        [&](std::span<std::uint8_t> out) { Base64::DecodeBase64(in.span(), out); });
      },
      py::arg("data"),
      "DecodeBase64: the bytes of Base64 characters (any bytes-like object). Error 5 for a length "
      "that is not a multiple of 4, 6 or 9 for a character outside the alphabet.");

  py::class_<DES>(m, "DES",
                  "Single DES and two-key triple DES over bytes, ECB, zero-filled last block. Both "
                  "keys are eight zero bytes until set.")
      .def(py::init<>())
      .def(
          "set_key", [](DES& des, const py::object& key) { des.SetKey(ToBytes(key)); },
          py::arg("key"), "SetKey: key 1 from bytes 0..7, key 2 from bytes 8..15 (zero-filled).")
      .def(
          "set_key1", [](DES& des, const py::object& key) { des.SetKey1(ToBytes(key)); },
          py::arg("key"), "SetKey1: key 1 from bytes 0..7; key 2 stays.")
      .def(
          "set_key2", [](DES& des, const py::object& key) { des.SetKey2(ToBytes(key)); },
          py::arg("key"), "SetKey2: key 2 from bytes 0..7; key 1 stays.")
      .def(
          "encrypt_des",
          [](DES& des, const py::object& data, std::uint8_t keyNumber, std::uint8_t direction) {
            ByteArray out;
            des.EncryptDes_ArrToArr(ToBytes(data), out, keyNumber, direction);
            return FromBytes(out);
          },
          py::arg("data"), py::arg("key_number") = 1, py::arg("direction") = 1,
          "EncryptDes_ArrToArr: single DES under key 2 if key_number is 2, else key 1; direction "
          "1 encrypts, any other value decrypts. Error 9 for no data, 6 for more than 32,760 "
          "bytes.")
      .def(
          "encrypt_3des",
          [](DES& des, const py::object& data, std::uint8_t direction) {
            ByteArray out;
            des.Encrypt3Des_ArrToArr(ToBytes(data), out, direction);
            return FromBytes(out);
          },
          py::arg("data"), py::arg("direction") = 1,
          "Encrypt3Des_ArrToArr: two-key triple DES; direction 1 encrypts (E1 D2 E1), 2 "
          "decrypts, 0 and 3 decrypt in all three passes. Error 9 for no data, 6 for more than "
          "32,760 bytes or a direction above 3.");

  py::class_<clsMD5>(m, "MD5", "MD5 digests as 32 uppercase hexadecimal digits.")
      .def(py::init<>())
      .def(
          "string_calc",
          [](clsMD5& md5, const py::str& text, std::optional<unsigned> codePage) {
            return FromText(
                UnderCodePage(codePage, [&] { return md5.Md5_String_Calc(ToText(text)); }));
          },
          py::arg("text"), py::kw_only(), py::arg("code_page") = py::none(),
          "Md5_String_Calc: the digest of the text's ANSI bytes. Error 6 for more than 32,767.")
      .def(
          "file_calc",
          [](clsMD5& md5, const std::filesystem::path& path) {
            py::gil_scoped_release unlocked;
            return TextToUtf8(md5.Md5_File_Calc(path));
          },
          py::arg("path"),
          "Md5_File_Calc: the digest of a file (str, bytes or os.PathLike), or '' when it "
          "cannot be digested (missing, a folder, unreadable, 2**28 bytes or more).")
      .def(
          "files_calc",
          [](clsMD5& md5, const std::vector<std::filesystem::path>& paths) {
            std::vector<Text> digests;
            {
              py::gil_scoped_release unlocked;
              digests = md5.Md5_Files_Calc(paths);
            }
            std::vector<std::string> result;
            for (const Text& digest : digests) result.push_back(TextToUtf8(digest));
            return result;
          },
          py::arg("paths"),
          "Md5_Files_Calc: one digest per file, in order, '' for a file that cannot be digested; "
          "sixteen files at once in the processor's vector lanes.")
      .def_property_readonly("registers", &Registers,
                             "The state words A, B, C, D of the last digest as signed integers.");
}
