// The compiled part of the Python package "ansicrypt": the library's services over str, bytes and
// os.PathLike, with the library's errors as ansicrypt.Error (a ValueError carrying the legacy
// number in .code). Every call converts under settings of its own: its code_page and best_fit
// arguments, else the overrides of the caller's context (ansicrypt.code_page, ansicrypt.best_fit,
// held in a contextvars.ContextVar), else the module's defaults; nothing of another thread or
// another binding in the process reaches it. DES and MD5 objects hold a lock each, so that one
// object may be shared between threads.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ansicrypt/ansicrypt.h"
#include "ansicrypt/digest/detail/md5_file_lanes.h"
#include "bindings/common/call_settings.h"
#include "bindings/common/error_text.h"
#include "bindings/python/batch.h"
#include "bindings/python/values.h"

namespace py = pybind11;

namespace ansicrypt::python {
namespace {

// Ctrl-C (or another Python signal handler that raises) ending a read that waits.
struct Interrupted {};

// A lock that is taken without holding the interpreter's lock while it waits for another thread.
class ObjectLock {
 public:
  explicit ObjectLock(std::mutex& mutex) : lock_(mutex, std::try_to_lock) {
    if (!lock_.owns_lock()) {
      py::gil_scoped_release unlocked;
      lock_.lock();
    }
  }

 private:
  std::unique_lock<std::mutex> lock_;
};

// Objects made by __new__ alone (a pickle's reduction, a failed __setstate__) hold memory that
// was never constructed, zero-filled by the interpreter; every method checks for this mark first.
constexpr std::uint64_t kBuilt = 0x616E7369637279;

template <class Object>
Object& Built(Object& self, const char* name) {
  if (self.built != kBuilt) {
    throw py::type_error(std::string(name) + " object was not initialised: call " + name + "()");
  }
  return self;
}

// A DES object and the key bytes it was given, from which a copy or a pickle rebuilds it.
struct PyDes {
  std::uint64_t built = kBuilt;
  DES des;
  std::array<std::uint8_t, 8> key1{};
  std::array<std::uint8_t, 8> key2{};
  std::mutex mutex;

  static std::array<std::uint8_t, 8> KeyPart(const ByteArray& key, std::size_t from) {
    std::array<std::uint8_t, 8> part{};
    for (std::size_t i = 0; i < 8 && from + i < key.size(); ++i) part[i] = key[from + i];
    return part;
  }
  void SetKeys(const std::optional<std::array<std::uint8_t, 8>>& one,
               const std::optional<std::array<std::uint8_t, 8>>& two) {
    if (one) {
      key1 = *one;
      des.SetKey1(ByteArray(key1.begin(), key1.end()));
    }
    if (two) {
      key2 = *two;
      des.SetKey2(ByteArray(key2.begin(), key2.end()));
    }
  }
};

// An MD5 object; the registers of its last digest are kept beside it, so that a copy or a pickle
// carries them.
struct PyMd5 {
  std::uint64_t built = kBuilt;
  clsMD5 md5;
  std::array<std::int32_t, 4> registers{};
  std::mutex mutex;

  void Keep() {
    const auto word = [](const Text& text) {
      return static_cast<std::int32_t>(std::stol(TextToUtf8(text)));
    };
    registers = {word(md5.RegisterA()), word(md5.RegisterB()), word(md5.RegisterC()),
                 word(md5.RegisterD())};
  }
};

py::tuple RegisterTuple(const std::array<std::int32_t, 4>& registers) {
  return py::make_tuple(registers[0], registers[1], registers[2], registers[3]);
}

// The digest of one file, the object's lock held and the interpreter's released; reads that wait
// (a FIFO) answer Ctrl-C between them.
Text DigestOneFile(PyMd5& self, const std::filesystem::path& path) {
  try {
    platform::InputFile file(path);
    file.OnInterrupt([] {
      const py::gil_scoped_acquire locked;
      if (PyErr_CheckSignals() != 0) throw Interrupted();
    });
    std::error_code ignored;
    return self.md5.Md5_Input_Calc(file, ignored);
  } catch (const std::system_error&) {
    return Text();  // the file cannot be opened: no digest, as Md5_File_Calc gives
  }
}

// The digests of files in order: regular files in the library's vector lanes, streams (FIFOs,
// devices, sockets: read alone, and able to wait) one by one where Ctrl-C reaches them. The
// registers end as one file after another leaves them.
std::vector<Text> DigestFiles(PyMd5& self, const std::vector<std::filesystem::path>& files) {
  std::vector<Text> digests;
  digests.reserve(files.size());
  std::size_t at = 0;
  while (at < files.size()) {
    if (detail::IsStreamPath(files[at])) {
      digests.push_back(DigestOneFile(self, files[at++]));
      continue;
    }
    std::size_t end = at;
    while (end < files.size() && !detail::IsStreamPath(files[end])) ++end;
    const auto run = std::span<const std::filesystem::path>(files).subspan(at, end - at);
    for (Text& digest : self.md5.Md5_Files_Calc(run)) digests.push_back(std::move(digest));
    at = end;
  }
  return digests;
}

}  // namespace
}  // namespace ansicrypt::python

PYBIND11_MODULE(_ansicrypt, m) {
  using namespace ansicrypt;
  using namespace ansicrypt::python;
  namespace platform = ansicrypt::platform;
  // The module's state (the ContextVar of the overrides, pybind11's own) is one per process.
  if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
    throw py::import_error("ansicrypt cannot be imported in a subinterpreter");
  }
  m.doc() = "The compiled part of the ansicrypt package.";
  m.attr("__version__") = ANSICRYPT_VERSION;

  static py::exception<Error> error(m, "Error", PyExc_ValueError);
  error.doc() =
      "A failure of the library; .code is the legacy error number (5, 6, 9 or 13), .index the "
      "position of the value that failed in a batch call (else None).";
  error.attr("code") = 0;
  error.attr("index") = py::none();
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const Error& e) {
      const py::object type = py::reinterpret_borrow<py::object>(error.ptr());
      py::object instance = type(bindings::ErrorText(e.code()));
      instance.attr("code") = e.code().value();
      PyErr_SetObject(error.ptr(), instance.ptr());
    } catch (const BatchFailure& bad) {
      const py::object type = py::reinterpret_borrow<py::object>(error.ptr());
      py::object instance =
          type("value " + std::to_string(bad.index) + ": " + bindings::ErrorText(bad.code));
      instance.attr("code") = bad.code.value();
      instance.attr("index") = bad.index;
      PyErr_SetObject(error.ptr(), instance.ptr());
    } catch (const Interrupted&) {
      // The signal handler's exception (KeyboardInterrupt) is already set.
    }
  });

  m.def(
      "_use_overrides",
      [](const py::object& var) {
        // The compiled module is one per process: a subinterpreter's import of the package would
        // replace the main interpreter's overrides.
        if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
          throw py::import_error("ansicrypt cannot be imported in a subinterpreter");
        }
        if (!PyContextVar_CheckExact(var.ptr())) throw py::type_error("a ContextVar is needed");
        Py_XDECREF(overrides);
        overrides = var.inc_ref().ptr();
      },
      py::arg("var"));
  m.def(
      "_check_code_page", [](const py::object& page) { return CodePageArgument(page); },
      py::arg("code_page"));
  m.def(
      "_check_best_fit", [](const py::object& fit) { return BoolArgument(fit, "best_fit"); },
      py::arg("best_fit"));

  // The module's defaults.
  m.def(
      "set_ansi_code_page",
      [](const py::object& page) { platform::SetAnsiCodePage(CodePageArgument(page)); },
      py::arg("code_page"),
      "Selects the module's default ANSI code page: 874, 932, 936, 949, 950, 1250 to 1258 or "
      "65001. Error 5 for any other number.");
  m.def(
      "ansi_code_page", [] { return Settings(py::none(), py::none()).codePage; },
      "The code page in force here: the context's override, else the module's default (1252).");
  m.def(
      "set_ansi_best_fit",
      [](const py::object& fit) { platform::SetAnsiBestFit(BoolArgument(fit, "best_fit")); },
      py::arg("best_fit"),
      "Switches Windows' best-fit mappings for text to bytes on or off by default.");
  m.def(
      "ansi_best_fit", [] { return Settings(py::none(), py::none()).bestFit; },
      "Whether best fit is in force here: the context's override, else the module's default.");

  // Text operations.
  const auto textCall = [](const py::str& text, const py::object& codePage,
                           const py::object& bestFit, auto operation) {
    const Resolved settings = Resolve(codePage, bestFit);
    const Text in = ToText(text);
    const Text out = Unlocked(in.size() * 2, [&] {
      const CallScope scope(settings.wanted, bindings::kWhateverIsInForce);
      return operation(in);
    });
    return FromText(out);
  };
  m.def(
      "encrypt_des_str_to_hex",
      [textCall](const py::str& text, const py::str& key, const py::object& codePage,
                 const py::object& bestFit) {
        const Text keyText = ToText(key);
        return textCall(text, codePage, bestFit,
                        [&](const Text& in) { return EncryptDes_StrToHex(in, keyText); });
      },
      py::arg("text"), py::arg("key"), py::kw_only(), py::arg("code_page") = py::none(),
      py::arg("best_fit") = py::none(),
      "EncryptDes_StrToHex: DES (key 1: the first 8 ANSI bytes of the key) of the text's ANSI "
      "bytes, zero-filled to whole blocks, as uppercase hexadecimal. Error 9 for the empty text, "
      "6 for more than 32,760 ANSI bytes.");
  m.def(
      "decrypt_des_hex_to_str",
      [textCall](const py::str& hex, const py::str& key, const py::object& codePage,
                 const py::object& bestFit) {
        const Text keyText = ToText(key);
        return textCall(hex, codePage, bestFit,
                        [&](const Text& in) { return DecryptDes_HexToStr(in, keyText); });
      },
      py::arg("hex"), py::arg("key"), py::kw_only(), py::arg("code_page") = py::none(),
      py::arg("best_fit") = py::none(),
      "DecryptDes_HexToStr: the text up to the first zero byte of the decryption. Error 13 for a "
      "character that is not a hexadecimal digit, 6 for 32,767 characters or more.");
  m.def(
      "encode_base64_str_to_str",
      [textCall](const py::str& text, const py::object& codePage, const py::object& bestFit) {
        return textCall(text, codePage, bestFit,
                        [](const Text& in) { return EncodeBase64_StrToStr(in); });
      },
      py::arg("text"), py::kw_only(), py::arg("code_page") = py::none(),
      py::arg("best_fit") = py::none(),
      "EncodeBase64_StrToStr: the Base64 text of the text's ANSI bytes.");
  m.def(
      "decode_base64_str_to_str",
      [textCall](const py::str& text, const py::object& codePage, const py::object& bestFit) {
        return textCall(text, codePage, bestFit,
                        [](const Text& in) { return DecodeBase64_StrToStr(in); });
      },
      py::arg("text"), py::kw_only(), py::arg("code_page") = py::none(),
      py::arg("best_fit") = py::none(),
      "DecodeBase64_StrToStr: the text whose ANSI bytes the Base64 text stands for. Error 5 for a "
      "length that is not a multiple of 4, 6 or 9 for a character outside the alphabet.");

  DefineBatchFunctions(m);

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

  py::class_<PyDes>(m, "DES",
                    "Single DES and two-key triple DES over bytes, ECB, zero-filled last block. "
                    "Both keys are eight zero bytes until set. One object may be used by several "
                    "threads at once; copies and pickles keep the keys.")
      .def(py::init<>())
      .def(
          "set_key",
          [](PyDes& self, const py::object& key) {
            Built(self, "DES");
            const ByteArray bytes = ToBytes(key);
            const ObjectLock lock(self.mutex);
            self.SetKeys(PyDes::KeyPart(bytes, 0), PyDes::KeyPart(bytes, 8));
          },
          py::arg("key"), "SetKey: key 1 from bytes 0..7, key 2 from bytes 8..15 (zero-filled).")
      .def(
          "set_key1",
          [](PyDes& self, const py::object& key) {
            Built(self, "DES");
            const ByteArray bytes = ToBytes(key);
            const ObjectLock lock(self.mutex);
            self.SetKeys(PyDes::KeyPart(bytes, 0), std::nullopt);
          },
          py::arg("key"), "SetKey1: key 1 from bytes 0..7; key 2 stays.")
      .def(
          "set_key2",
          [](PyDes& self, const py::object& key) {
            Built(self, "DES");
            const ByteArray bytes = ToBytes(key);
            const ObjectLock lock(self.mutex);
            self.SetKeys(std::nullopt, PyDes::KeyPart(bytes, 0));
          },
          py::arg("key"), "SetKey2: key 2 from bytes 0..7; key 1 stays.")
      .def(
          "encrypt_des",
          [](PyDes& self, const py::object& data, const py::object& keyNumber,
             const py::object& direction) {
            Built(self, "DES");
            // The selectors are the library's 32-bit values: key 2 for 2, else key 1; direction 1
            // encrypts, any other value decrypts. Beyond 32 bits: error 6.
            const auto key = IntegerIn(keyNumber, "key_number", INT32_MIN, UINT32_MAX);
            const auto way = IntegerIn(direction, "direction", INT32_MIN, UINT32_MAX);
            if (!key || !way) throw Error(errc::overflow);
            const ByteArray in = ToBytes(data);
            ByteArray out;
            {
              py::gil_scoped_release unlocked;
              const std::lock_guard lock(self.mutex);
              std::uint8_t keyByte = *key == 2 ? 2 : 1;
              self.des.EncryptDes_ArrToArr(in, out, keyByte, *way == 1 ? 1 : 2);
            }
            return FromBytes(out);
          },
          py::arg("data"), py::arg("key_number") = 1, py::arg("direction") = 1,
          "EncryptDes_ArrToArr: single DES under key 2 if key_number is 2, else key 1; direction "
          "1 encrypts, any other value decrypts. Error 9 for no data, 6 for more than 32,760 "
          "bytes or a selector beyond 32 bits.")
      .def(
          "encrypt_3des",
          [](PyDes& self, const py::object& data, const py::object& direction) {
            Built(self, "DES");
            const auto way = IntegerIn(direction, "direction", 0, 3);
            if (!way) throw Error(errc::overflow);
            const ByteArray in = ToBytes(data);
            ByteArray out;
            {
              py::gil_scoped_release unlocked;
              const std::lock_guard lock(self.mutex);
              self.des.Encrypt3Des_ArrToArr(in, out, static_cast<std::uint8_t>(*way));
            }
            return FromBytes(out);
          },
          py::arg("data"), py::arg("direction") = 1,
          "Encrypt3Des_ArrToArr: two-key triple DES; direction 1 encrypts (E1 D2 E1), 2 "
          "decrypts, 0 and 3 decrypt in all three passes. Error 9 for no data, 6 for more than "
          "32,760 bytes or a direction outside 0 to 3.")
      .def(py::pickle(
          [](PyDes& self) {
            Built(self, "DES");
            const ObjectLock lock(self.mutex);
            return py::make_tuple(
                py::bytes(reinterpret_cast<const char*>(self.key1.data()), self.key1.size()),
                py::bytes(reinterpret_cast<const char*>(self.key2.data()), self.key2.size()));
          },
          [](const py::tuple& state) {
            const auto key = [&](std::size_t i) {
              if (state.size() != 2 || !PyBytes_Check(state[i].ptr()) ||
                  PyBytes_GET_SIZE(state[i].ptr()) != 8) {
                throw py::value_error("not the state of a DES object: two keys of 8 bytes");
              }
              return PyDes::KeyPart(ToBytes(state[i]), 0);
            };
            auto des = std::make_unique<PyDes>();
            des->SetKeys(key(0), key(1));
            return des;
          }));
  ;

  py::class_<PyMd5>(m, "MD5",
                    "MD5 digests as 32 uppercase hexadecimal digits. One object may be used by "
                    "several threads at once; copies and pickles keep the registers.")
      .def(py::init<>())
      .def(
          "string_calc",
          [](PyMd5& self, const py::str& text, const py::object& codePage,
             const py::object& bestFit) {
            Built(self, "MD5");
            const Resolved settings = Resolve(codePage, bestFit);
            const Text in = ToText(text);
            Text digest;
            {
              py::gil_scoped_release unlocked;
              const std::lock_guard lock(self.mutex);
              const CallScope scope(settings.wanted, bindings::kWhateverIsInForce);
              digest = self.md5.Md5_String_Calc(in);
              self.Keep();
            }
            return FromText(digest);
          },
          py::arg("text"), py::kw_only(), py::arg("code_page") = py::none(),
          py::arg("best_fit") = py::none(),
          "Md5_String_Calc: the digest of the text's ANSI bytes. Error 6 for more than 32,767.")
      .def(
          "file_calc",
          [](PyMd5& self, const py::object& path) {
            Built(self, "MD5");
            const std::filesystem::path file = PathArgument(path);
            Text digest;
            {
              py::gil_scoped_release unlocked;
              const std::lock_guard lock(self.mutex);
              try {
                digest = DigestOneFile(self, file);
              } catch (const Interrupted&) {
                self.Keep();
                throw;
              }
              self.Keep();
            }
            return TextToUtf8(digest);
          },
          py::arg("path"),
          "Md5_File_Calc: the digest of a file (str, bytes or os.PathLike), or '' when it "
          "cannot be digested (missing, a folder, unreadable, 2**28 bytes or more). Ctrl-C ends "
          "a read that waits.")
      .def(
          "files_calc",
          [](PyMd5& self, const py::iterable& paths) {
            Built(self, "MD5");
            // One path is no list of paths: a str would be taken character by character.
            if (PyUnicode_Check(paths.ptr()) || PyBytes_Check(paths.ptr()) ||
                PyObject_HasAttrString(paths.ptr(), "__fspath__")) {
              throw py::type_error("files_calc takes an iterable of paths, not one path");
            }
            std::vector<std::filesystem::path> files;
            for (const py::handle path : paths) files.push_back(PathArgument(path));
            std::vector<Text> digests;
            {
              py::gil_scoped_release unlocked;
              const std::lock_guard lock(self.mutex);
              try {
                digests = DigestFiles(self, files);
              } catch (const Interrupted&) {
                self.Keep();
                throw;
              }
              self.Keep();
            }
            std::vector<std::string> result;
            for (const Text& digest : digests) result.push_back(TextToUtf8(digest));
            return result;
          },
          py::arg("paths"),
          "Md5_Files_Calc: one digest per file, in order, '' for a file that cannot be digested; "
          "24 files at once in the processor's AVX2 vector lanes, 32 with AVX-512.")
      .def_property_readonly(
          "registers",
          [](PyMd5& self) {
            Built(self, "MD5");
            const ObjectLock lock(self.mutex);
            return RegisterTuple(self.registers);
          },
          "The state words A, B, C, D of the last digest as signed integers.")
      .def(py::pickle(
          [](PyMd5& self) {
            Built(self, "MD5");
            const ObjectLock lock(self.mutex);
            return py::make_tuple(RegisterTuple(self.registers));
          },
          [](const py::tuple& state) {
            const auto invalid = [] {
              return py::value_error("not the state of an MD5 object: four 32-bit registers");
            };
            if (state.size() != 1 || !PyTuple_Check(state[0].ptr())) throw invalid();
            const auto words = py::reinterpret_borrow<py::tuple>(state[0]);
            if (words.size() != 4) throw invalid();
            auto md5 = std::make_unique<PyMd5>();
            for (std::size_t i = 0; i < 4; ++i) {
              if (!PyLong_Check(words[i].ptr())) throw invalid();
              const auto word = IntegerIn(words[i], "register", INT32_MIN, INT32_MAX);
              if (!word) throw invalid();
              md5->registers[i] = static_cast<std::int32_t>(*word);
            }
            return md5;
          }));
  ;
}
