// Records read in batches, converted on worker threads, written in order.
#include "cli/commands/records.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "ansicrypt/common/error.h"
#include "ansicrypt/platform/input_file.h"
#include "cli/commands/ordered_jobs.h"
#include "cli/io/input_wait.h"
#include "cli/io/output_file.h"
#include "cli/io/report.h"

namespace ansicrypt::cli {
namespace {

constexpr std::size_t kReadBytes = 1 << 20;
constexpr std::size_t kBatchRecords = 2048;
constexpr std::size_t kBatchBytes = 1 << 18;
constexpr std::size_t kBatchesInFlightBytes = 1 << 22;

struct Batch {
  std::size_t first = 0;  // index of the batch's first record in the input
  std::string data;       // the records' bytes, one after another
  std::vector<std::pair<std::size_t, std::size_t>> records;  // offset and length in data
};

struct BatchResult {
  std::string out;                    // the results, each with its end
  std::vector<std::string> messages;  // warnings and failures, in record order
  bool failed = false;                // a record was bad
  bool stopped = false;               // ... and the command stops there
};

// Batches of the records of standard input: what is complete in the buffer after each read, so
// that records typed at a terminal are answered one by one and a fast input gives large batches.
class InputRecords {
 public:
  InputRecords(char end, const StopSignal& stop)
      : end_(end), stop_(stop), input_(platform::InputFile::StandardInput()) {}

  std::optional<Batch> Next() {
    while (true) {
      Batch batch;
      batch.first = records_;
      std::size_t at = start_;
      while (batch.records.size() < kBatchRecords && batch.data.size() < kBatchBytes) {
        // A long record is searched for its end only in what was read since the last search.
        const std::size_t found = buffer_.find(end_, std::max(at, scanned_));
        if (found == std::string::npos) {
          scanned_ = buffer_.size();
          break;
        }
        Add(batch, at, found - at, true);
        at = found + 1;
      }
      if (batch.records.empty() && ended_ && at < buffer_.size()) {
        Add(batch, at, buffer_.size() - at, false);  // the last record has no end
        at = buffer_.size();
      }
      start_ = at;
      if (!batch.records.empty()) return batch;
      if (ended_) return std::nullopt;
      if (!Fill()) return std::nullopt;
    }
  }

 private:
  void Add(Batch& batch, std::size_t at, std::size_t length, bool ended) {
    // A carriage return before a line feed is part of the line end.
    if (ended && end_ == '\n' && length > 0 && buffer_[at + length - 1] == '\r') --length;
    batch.records.emplace_back(batch.data.size(), length);
    batch.data.append(buffer_, at, length);
    ++records_;
  }

  // Reads more input after what is unconsumed; false when told to stop.
  bool Fill() {
    buffer_.erase(0, start_);
    scanned_ = scanned_ > start_ ? scanned_ - start_ : 0;
    start_ = 0;
    if (WaitForInput(input_.Descriptor(), &stop_, true) == InputState::stopped) return false;
    const std::size_t had = buffer_.size();
    buffer_.resize(had + kReadBytes);
    std::size_t n = 0;
    try {
      n = input_.Read(reinterpret_cast<std::uint8_t*>(buffer_.data() + had), kReadBytes);
    } catch (const std::system_error& e) {
      throw Failure("standard input", e.code());
    }
    buffer_.resize(had + n);
    ended_ = n == 0;
    return true;
  }

  const char end_;
  const StopSignal& stop_;
  platform::InputFile input_;
  std::string buffer_;
  std::size_t start_ = 0;    // unconsumed bytes of buffer_ start here
  std::size_t scanned_ = 0;  // buffer_ holds no record end from start_ to here
  std::size_t records_ = 0;  // records handed out so far
  bool ended_ = false;
};

std::string Where(const RecordOptions& options, std::size_t index) {
  const char* kind = !options.operands.empty() ? "argument "
                     : options.nulEnded        ? "record "
                                               : "line ";
  return kind + std::to_string(index + 1);
}

BatchResult Convert(const std::string& command, const RecordOptions& options,
                    const RecordOperation& operation, Batch& batch) {
  BatchResult result;
  result.out.reserve(batch.data.size() * 2 + batch.records.size());
  const char end = options.nulEnded ? '\0' : '\n';
  std::string warning;
  for (std::size_t k = 0; k < batch.records.size(); ++k) {
    const auto [offset, length] = batch.records[k];
    const std::string subject = command + ": ";
    const std::size_t mark = result.out.size();
    warning.clear();
    std::optional<std::string> failure;
    try {
      operation(std::string_view(batch.data).substr(offset, length), result.out, warning);
    } catch (const Error& e) {
      failure = FailureLine(subject + Where(options, batch.first + k), e.code());
    } catch (const BadRecord& e) {
      failure = FailureLine(subject + Where(options, batch.first + k), e.what());
    }
    if (failure) {
      result.out.resize(mark);
      result.messages.push_back(std::move(*failure));
      result.failed = true;
      if (!options.keepGoing) {
        result.stopped = true;
        return result;
      }
    }
    if (!warning.empty()) {
      result.messages.push_back(
          FailureLine(subject + Where(options, batch.first + k), "warning: " + warning));
    }
    result.out += end;
  }
  return result;
}

}  // namespace

int RunRecords(const std::string& command, const RecordOptions& options,
               const RecordOperation& operation) {
  Output out("-");
  StopSignal stop;
  std::optional<InputRecords> input;
  if (options.operands.empty()) {
    // Results appended to the file the records come from would be read again, without end.
    out.RefuseSameFile(IdentityOfDescriptor(STDIN_FILENO), "standard input");
    input.emplace(options.nulEnded ? '\0' : '\n', stop);
  }
  std::size_t nextOperand = 0;
  const std::function<std::optional<Batch>()> next = [&]() -> std::optional<Batch> {
    if (input) return input->Next();
    if (nextOperand == options.operands.size()) return std::nullopt;
    Batch batch;
    batch.first = nextOperand;
    while (nextOperand < options.operands.size() && batch.records.size() < kBatchRecords) {
      const std::string& operand = options.operands[nextOperand++];
      batch.records.emplace_back(batch.data.size(), operand.size());
      batch.data += operand;
    }
    return batch;
  };
  const std::function<BatchResult(Batch&)> produce = [&](Batch& batch) {
    return Convert(command, options, operation, batch);
  };
  bool failed = false;
  const std::function<void(Batch&, BatchResult&)> consume = [&](Batch&, BatchResult& result) {
    out.Write(result.out);
    for (const std::string& message : result.messages) ReportLine(message);
    failed = failed || result.failed;
    if (result.stopped) throw Reported();
  };
  // A few batches per thread in flight, and no more than kBatchesInFlightBytes of records unless a
  // single record is longer: memory follows the longest record, not the input or the thread count.
  OrderedJobs<Batch, BatchResult>::Run(
      options.jobs, 2 * options.jobs + 2, next, produce, {}, consume, [&stop] { stop.Stop(); },
      [](const Batch& batch) { return batch.data.size(); }, kBatchesInFlightBytes);
  return failed ? 1 : 0;
}

}  // namespace ansicrypt::cli
