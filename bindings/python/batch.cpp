// The batch forms: one call over any iterable of values, a list of results in the same order.
// The values are checked and read under the interpreter's lock, the work runs without it (on
// `threads` threads, each over a contiguous part), and the results become objects under it
// again. A str's characters are read straight from its storage by the threads: strings are
// immutable and the batch holds a reference to each for the whole call.
#include "bindings/python/batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bindings/common/call_settings.h"

namespace ansicrypt::python {
namespace {

enum class OnError { strict, null };

OnError ErrorsArgument(const std::string& errors) {
  if (errors == "strict") return OnError::strict;
  if (errors == "null") return OnError::null;
  throw py::value_error("errors must be \"strict\" or \"null\", not \"" + errors + "\"");
}

std::size_t ThreadsArgument(const py::handle& threads) {
  const auto number = IntegerIn(threads, "threads", 1, 1024);
  if (!number) throw py::value_error("threads must be between 1 and 1024");
  return static_cast<std::size_t>(*number);
}

// The values of the iterable, held for the call in a tuple of its own: a list that another thread
// changes meanwhile changes nothing the threads read. A str, bytes or bytearray is refused rather
// than taken as an iterable of characters or ints.
py::object Materialised(const py::handle& values, const char* name) {
  if (PyUnicode_Check(values.ptr()) || PyBytes_Check(values.ptr()) ||
      PyByteArray_Check(values.ptr())) {
    throw py::type_error(std::string(name) + " must be an iterable of values, not " +
                         Py_TYPE(values.ptr())->tp_name);
  }
  PyObject* tuple = PySequence_Tuple(values.ptr());
  if (tuple == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(tuple);
}

// Values are converted in chunks: threads take chunks in turn and compute them without the
// interpreter's lock; the calling thread turns finished chunks into objects in order (with the
// lock) and computes chunks itself while the next one in order is not finished. Objects are thus
// made while other threads compute, and a strict call stops at the chunk of its first failure.
constexpr std::size_t kChunkValues = 2048;

// One value's result in its chunk.
struct ValueResult {
  std::size_t end = 0;      // its units end here in the chunk's buffer
  char16_t maxChar = 0;     // the largest unit, for the str's storage
  std::int16_t error = 0;   // the library's error number, or 0
  bool none = false;        // None in, None out
  bool surrogates = false;  // units that a str holds as one character (or lone)
};

struct Chunk {
  std::vector<char16_t> units;
  std::vector<ValueResult> values;
  std::exception_ptr failure;  // anything but the library's errors
  bool done = false;           // under the pipeline's mutex
};

// A text as a new str made from a chunk's units: straight into the string's own storage unless
// it holds surrogates.
PyObject* NewStr(const char16_t* units, std::size_t size, const ValueResult& value) {
  if (value.surrogates) {
    int order = kNativeUtf16Order;  // the units as this machine stores them
    return PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(units),
                                 static_cast<Py_ssize_t>(size * 2), "surrogatepass", &order);
  }
  PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(size), value.maxChar);
  if (str == nullptr) return nullptr;
  if (PyUnicode_KIND(str) == PyUnicode_1BYTE_KIND) {
    auto* chars = static_cast<Py_UCS1*>(PyUnicode_DATA(str));
    for (std::size_t i = 0; i < size; ++i) chars[i] = static_cast<Py_UCS1>(units[i]);
  } else if (size > 0) {
    std::memcpy(PyUnicode_DATA(str), units, size * sizeof(char16_t));  // both in machine order
  }
  return str;
}

// Runs a worker's `compute(index)` (a Text, or the library's Error; never called for None) over
// `count` values on `threads` threads, and gives the list of results in order. Each thread makes
// its own worker with `makeWorker()` (a key scheduled once per thread, say).
template <class MakeWorker>
py::list Pipeline(std::size_t count, std::size_t threads, OnError onError,
                  const std::vector<bool>& none, const CallSettings& settings,
                  MakeWorker makeWorker) {
  const std::size_t chunkCount = (count + kChunkValues - 1) / kChunkValues;
  std::vector<Chunk> chunks(chunkCount);
  std::atomic<std::size_t> next{0};
  // Chunks after this one are not needed: a strict failure or an exception came before them.
  std::atomic<std::size_t> neededUpTo{SIZE_MAX};
  const auto notNeededAfter = [&](std::size_t c) {
    std::size_t current = neededUpTo.load();
    while (c < current && !neededUpTo.compare_exchange_weak(current, c)) {
    }
  };
  std::mutex mutex;
  std::condition_variable finished;

  const auto computeChunk = [&](auto& compute, std::size_t c) {
    Chunk& chunk = chunks[c];
    try {
      const std::size_t begin = c * kChunkValues;
      const std::size_t end = std::min(count, begin + kChunkValues);
      chunk.values.resize(end - begin);
      chunk.units.reserve((end - begin) * 16);
      for (std::size_t i = begin; i < end && c <= neededUpTo.load(std::memory_order_relaxed); ++i) {
        ValueResult& value = chunk.values[i - begin];
        if (none[i]) {
          value.none = true;
        } else {
          try {
            const Text text = compute(i);
            char16_t largest = 0;
            for (const char16_t unit : text) largest = std::max(largest, unit);
            value.surrogates = largest >= 0xD800 &&
                               std::any_of(text.begin(), text.end(),
                                           [](char16_t u) { return u >= 0xD800 && u <= 0xDFFF; });
            value.maxChar = largest;
            chunk.units.insert(chunk.units.end(), text.begin(), text.end());
          } catch (const Error& e) {
            value.error = static_cast<std::int16_t>(e.code().value());
            if (onError == OnError::strict) notNeededAfter(c);
          }
        }
        value.end = chunk.units.size();
      }
    } catch (...) {
      chunk.failure = std::current_exception();
      notNeededAfter(c);
    }
    {
      const std::lock_guard<std::mutex> lock(mutex);
      chunk.done = true;
    }
    finished.notify_all();
  };
  const auto helper = [&] {
    try {
      const CallScope scope(settings, bindings::kWhateverIsInForce);
      auto compute = makeWorker();
      for (std::size_t c; (c = next.fetch_add(1)) < chunkCount;) computeChunk(compute, c);
    } catch (...) {
      // Before it took a chunk (computeChunk keeps its own failures): the calling thread computes
      // the chunks this one would have.
    }
  };

  std::vector<std::thread> helpers;
  const auto joinHelpers = [&] {
    next.store(chunkCount);  // no more chunks are taken
    notNeededAfter(0);
    py::gil_scoped_release unlocked;
    for (std::thread& t : helpers) t.join();
    helpers.clear();
  };
  // The list holds None until a result takes its place: Python code that runs between chunks (a
  // signal handler) may find it through the garbage collector.
  py::list list(count);
  for (std::size_t i = 0; i < count; ++i) {
    Py_INCREF(Py_None);
    PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(i), Py_None);
  }
  try {
    for (std::size_t t = 1; t < std::min(threads, chunkCount); ++t) helpers.emplace_back(helper);
    auto compute = makeWorker();
    for (std::size_t c = 0; c < chunkCount; ++c) {
      Chunk& chunk = chunks[c];
      {
        py::gil_scoped_release unlocked;
        // The call's settings hold while this thread computes, and only then: Python code that
        // runs on it between chunks sees the module's own.
        const CallScope scope(settings, bindings::kWhateverIsInForce);
        std::unique_lock<std::mutex> lock(mutex);
        while (!chunk.done) {
          lock.unlock();
          const std::size_t mine = next.fetch_add(1);
          if (mine < chunkCount) {
            computeChunk(compute, mine);
          } else {
            lock.lock();
            finished.wait(lock, [&] { return chunk.done; });
          }
          if (!lock.owns_lock()) lock.lock();
        }
      }
      if (chunk.failure) std::rethrow_exception(chunk.failure);
      const std::size_t base = c * kChunkValues;
      std::size_t start = 0;
      for (std::size_t k = 0; k < chunk.values.size(); ++k) {
        const ValueResult& value = chunk.values[k];
        PyObject* item = nullptr;
        if (value.error != 0 && onError == OnError::strict) {
          throw BatchFailure{base + k, make_error_code(static_cast<errc>(value.error))};
        }
        if (value.none || value.error != 0) {
          Py_INCREF(Py_None);
          item = Py_None;
        } else {
          item = NewStr(chunk.units.data() + start, value.end - start, value);
          if (item == nullptr) throw py::error_already_set();
        }
        PyObject* placeholder = PyList_GET_ITEM(list.ptr(), static_cast<Py_ssize_t>(base + k));
        PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(base + k), item);
        Py_DECREF(placeholder);
        start = value.end;
      }
      chunk = Chunk{};  // its memory is not needed any more
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();  // Ctrl-C between chunks
    }
  } catch (...) {
    joinHelpers();
    throw;
  }
  joinHelpers();
  return list;
}

// A text operation over every str of `values` under the call's settings; `operation()` makes a
// thread's callable Text(const Text&).
template <class Operation>
py::list TextBatch(const py::handle& values, const py::object& codePage, const py::object& bestFit,
                   const std::string& errors, const py::handle& threads, Operation operation) {
  const OnError onError = ErrorsArgument(errors);
  const std::size_t threadCount = ThreadsArgument(threads);
  const CallSettings settings = Settings(codePage, bestFit);
  const py::object sequence = Materialised(values, "texts");
  const auto count = static_cast<std::size_t>(PyTuple_GET_SIZE(sequence.ptr()));
  PyObject** items = reinterpret_cast<PyTupleObject*>(sequence.ptr())->ob_item;
  std::vector<bool> none(count);
  for (std::size_t i = 0; i < count; ++i) {
    PyObject* item = items[i];
    none[i] = item == Py_None;
    if (none[i]) continue;
    if (!PyUnicode_Check(item)) {
      throw py::type_error("value " + std::to_string(i) + " must be a str or None, not " +
                           std::string(Py_TYPE(item)->tp_name));
    }
#if PY_VERSION_HEX < 0x030C0000
    // A string made by the old C API may not have its compact storage yet.
    if (PyUnicode_READY(item) != 0) throw py::error_already_set();
#endif
  }
  return Pipeline(count, threadCount, onError, none, settings, [&] {
    return [&items, work = operation(), characters = Text()](std::size_t i) mutable {
      ReadCharacters(items[i], characters);  // reused: no allocation per value
      return work(characters);
    };
  });
}

// A bytes-like object held for the call.
class HeldBuffer {
 public:
  HeldBuffer() = default;
  explicit HeldBuffer(PyObject* object) {
    if (PyObject_GetBuffer(object, &view_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    held_ = true;
  }
  ~HeldBuffer() {
    if (held_) PyBuffer_Release(&view_);
  }
  HeldBuffer(HeldBuffer&& other) noexcept : view_(other.view_), held_(other.held_) {
    other.held_ = false;
  }
  HeldBuffer(const HeldBuffer&) = delete;
  HeldBuffer& operator=(const HeldBuffer&) = delete;
  HeldBuffer& operator=(HeldBuffer&&) = delete;

  bool held() const { return held_; }
  std::span<const std::uint8_t> span() const {
    return {static_cast<const std::uint8_t*>(view_.buf), static_cast<std::size_t>(view_.len)};
  }

 private:
  Py_buffer view_{};
  bool held_ = false;
};

py::list Md5Many(const py::handle& values, const std::string& errors, const py::handle& threads) {
  const OnError onError = ErrorsArgument(errors);
  const std::size_t threadCount = ThreadsArgument(threads);
  const py::object sequence = Materialised(values, "values");
  const auto count = static_cast<std::size_t>(PyTuple_GET_SIZE(sequence.ptr()));
  PyObject** items = reinterpret_cast<PyTupleObject*>(sequence.ptr())->ob_item;
  std::vector<HeldBuffer> buffers;
  buffers.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (items[i] == Py_None) {
      buffers.emplace_back();
    } else if (PyUnicode_Check(items[i]) || !PyObject_CheckBuffer(items[i])) {
      // A str has no bytes until a code page is chosen: md5_string_calc_many takes texts.
      throw py::type_error("value " + std::to_string(i) +
                           " must be a bytes-like object or None, not " +
                           std::string(Py_TYPE(items[i])->tp_name));
    } else {
      buffers.emplace_back(items[i]);
    }
  }
  std::vector<bool> none(count);
  for (std::size_t i = 0; i < count; ++i) none[i] = !buffers[i].held();
  return Pipeline(count, threadCount, onError, none, CallSettings{}, [&] {
    return [&buffers, md5 = clsMD5()](std::size_t i) mutable {
      const auto bytes = buffers[i].span();
      if (bytes.size() > clsMD5::kMaxTextBytes) throw Error(errc::overflow);  // before a copy
      return md5.Md5_Arr_Calc(ByteArray(bytes.begin(), bytes.end()));
    };
  });
}

}  // namespace

void DefineBatchFunctions(py::module_& m) {
  // `work` is a callable Text(const Text&), copied for every thread.
  const auto textBatch = [&m](const char* name, auto work, const char* doc) {
    m.def(
        name,
        [work](const py::handle& values, const py::object& codePage, const py::object& bestFit,
               const std::string& errors, const py::handle& threads) {
          return TextBatch(values, codePage, bestFit, errors, threads, [&] { return work; });
        },
        py::arg("texts"), py::kw_only(), py::arg("code_page") = py::none(),
        py::arg("best_fit") = py::none(), py::arg("errors") = "strict", py::arg("threads") = 1,
        doc);
  };
  // `work` is a callable Text(const Text&, DES&), given an object keyed with the key's ANSI bytes
  // for each thread: the key is scheduled once per thread.
  const auto keyedBatch = [&m](const char* name, auto work, const char* doc) {
    m.def(
        name,
        [work](const py::handle& values, const py::str& key, const py::object& codePage,
               const py::object& bestFit, const std::string& errors, const py::handle& threads) {
          const Text keyText = ToText(key);
          DES keyed;
          {
            const CallScope scope(Settings(codePage, bestFit), bindings::kWhateverIsInForce);
            keyed.SetKey1(bindings::KeyAnsiBytes(keyText));
          }
          return TextBatch(values, codePage, bestFit, errors, threads, [&] {
            return [work, des = keyed](const Text& in) mutable { return work(in, des); };
          });
        },
        py::arg("texts"), py::arg("key"), py::kw_only(), py::arg("code_page") = py::none(),
        py::arg("best_fit") = py::none(), py::arg("errors") = "strict", py::arg("threads") = 1,
        doc);
  };
  keyedBatch(
      "encrypt_des_str_to_hex_many",
      [](const Text& in, DES& keyed) {
        return EncryptDes_ArrToHex(platform::TextToAnsi(in), keyed);
      },
      "encrypt_des_str_to_hex over every text of an iterable: a list in the same order, None for "
      "None. errors=\"strict\" raises Error for the first bad value (its .index), \"null\" puts "
      "None in its place; threads=N spreads the work over N threads.");
  keyedBatch(
      "decrypt_des_hex_to_str_many",
      [](const Text& in, DES& keyed) {
        return platform::AnsiToText(DecryptDes_HexToArr(in, keyed));
      },
      "decrypt_des_hex_to_str over every text of an iterable; as encrypt_des_str_to_hex_many.");
  textBatch(
      "encode_base64_str_to_str_many", [](const Text& in) { return EncodeBase64_StrToStr(in); },
      "encode_base64_str_to_str over every text of an iterable; as encrypt_des_str_to_hex_many.");
  textBatch(
      "decode_base64_str_to_str_many", [](const Text& in) { return DecodeBase64_StrToStr(in); },
      "decode_base64_str_to_str over every text of an iterable; as encrypt_des_str_to_hex_many.");
  textBatch(
      "md5_string_calc_many",
      [md5 = clsMD5()](const Text& in) mutable { return md5.Md5_String_Calc(in); },
      "MD5().string_calc over every text of an iterable: the digests of their ANSI bytes; as "
      "encrypt_des_str_to_hex_many.");
  m.def("md5_many", &Md5Many, py::arg("values"), py::kw_only(), py::arg("errors") = "strict",
        py::arg("threads") = 1,
        "The MD5 digests (32 uppercase hexadecimal digits) of bytes-like objects of up to 32,767 "
        "bytes each: a list in the same order, None for None; errors and threads as "
        "encrypt_des_str_to_hex_many.");
}

}  // namespace ansicrypt::python
