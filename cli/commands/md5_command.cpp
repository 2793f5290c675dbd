// ansicrypt md5: digests of files in md5sum's layout (uppercase digits), and md5sum's list checks
// with its messages and exit status.
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <optional>

#include "ansicrypt/common/utf8.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/input_file.h"
#include "cli/command_line/values.h"
#include "cli/commands/commands.h"
#include "cli/commands/file_digests.h"
#include "cli/io/input_wait.h"
#include "cli/io/line_reader.h"
#include "cli/io/output_file.h"
#include "cli/io/process.h"
#include "cli/io/report.h"
#include "cli/io/standard_descriptors.h"
#include "cli/md5sum/md5_list.h"
#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {
namespace {

struct Md5Options {
  std::vector<std::string> files;
  unsigned jobs = 1;
  bool check = false;
  bool tag = false;
  bool zero = false;
  bool quiet = false;
  bool status = false;
  bool strict = false;
  bool warn = false;
  bool ignoreMissing = false;
};

// Digests `names` and hands each digest to `consume` in the order of the names. Standard input
// is read in its turn: "-" twice digests the data, then nothing, as md5sum does.
void DigestInOrder(const std::vector<std::string>& names, unsigned jobs,
                   const std::function<void(const std::string&, Digest&)>& consume) {
  std::size_t next = 0;
  FileDigests<const std::string*>::Run(
      jobs,
      [&]() -> std::optional<const std::string*> {
        if (next == names.size()) return std::nullopt;
        return &names[next++];
      },
      [] { return true; }, [](const std::string* const& name) { return name; },
      [&](const std::string*& name, Digest& digest) { consume(*name, digest); });
}

// Lines written through one buffer, in pieces, and at once to a terminal.
class LineWriter {
 public:
  LineWriter() : interactive_(::isatty(STDOUT_FILENO) != 0) {}
  ~LineWriter() = default;
  void Add(std::string_view line) {
    buffer_ += line;
    if (interactive_ || buffer_.size() >= (1 << 16)) Flush();
  }
  void Flush() {
    out_.Write(buffer_);
    buffer_.clear();
  }

 private:
  Output out_{"-"};
  bool interactive_;
  std::string buffer_;
};

int DigestFiles(const Md5Options& options) {
  const std::vector<std::string> names =
      options.files.empty() ? std::vector<std::string>{"-"} : options.files;
  LineWriter out;
  int status = 0;
  DigestInOrder(names, options.jobs, [&](const std::string& name, Digest& digest) {
    if (digest.hex.empty()) {
      out.Flush();
      ReportFailure(QuoteName(name), digest.error);
      status = 1;
      return;
    }
    out.Add(DigestLine(digest.hex, name, options.tag, options.zero));
  });
  out.Flush();
  return status;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Opens a list. One that cannot be opened is reported with the system's reason; a folder is
// reported, as md5sum reports it, as a list that cannot be read.
std::optional<platform::InputFile> OpenList(const std::string& list, const std::string& shown) {
  try {
    if (list == "-") return platform::InputFile::StandardInput();
    if (LeadsToClosedStandardDescriptor(list)) {
      throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory));
    }
    return platform::InputFile(PathOfName(list));
  } catch (const std::system_error& e) {
    if (e.code() == std::errc::is_a_directory) {
      ReportMessage(shown + ": read error");
    } else {
      ReportFailure(QuoteName(list), e.code());
    }
    return std::nullopt;
  }
}

// Checks one list as md5sum -c does, line by line as the list is read; true when it passes.
bool CheckList(const std::string& list, const Md5Options& options, ListParser& parser,
               LineWriter& out) {
  const bool isStandardInput = list == "-";
  const std::string shown = QuoteName(isStandardInput ? "standard input" : list);
  out.Flush();
  std::optional<platform::InputFile> file = OpenList(list, shown);
  if (!file) return false;
  LineReader lines(*file);
  // Threads that read a list which may wait for input are woken by a stop signal when the command
  // stops; otherwise no descriptor is spent on one.
  std::optional<StopSignal> stop;
  if (options.jobs > 1 && lines.MayWait()) {
    stop.emplace();
    lines.StopWith(*stop);
  }

  // Lines are handled in their order, misformatted ones too, so that the warnings of -w come
  // among the other messages where md5sum gives them.
  struct Line {
    std::size_t number;
    std::optional<ListEntry> entry;  // none: improperly formatted
  };
  std::size_t lineNumber = 0;
  bool readError = false;
  const auto nextLine = [&]() -> std::optional<Line> {
    try {
      while (std::optional<std::string> text = lines.Next()) {
        std::string_view line = *text;
        ++lineNumber;
        if (!line.empty() && line.front() == '#') continue;  // a comment
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        std::optional<ListEntry> entry = parser.Parse(line);
        if (entry && isStandardInput && entry->name == "-") entry.reset();
        return Line{lineNumber, std::move(entry)};
      }
    } catch (const std::system_error&) {
      readError = true;
    }
    return std::nullopt;
  };
  std::size_t wellFormed = 0;
  std::size_t misformatted = 0;
  std::size_t failedReads = 0;
  std::size_t mismatched = 0;
  bool matched = false;
  FileDigests<Line>::Run(
      options.jobs, nextLine, [&] { return lines.Ready(); },
      [](const Line& line) { return line.entry ? &line.entry->name : nullptr; },
      [&](Line& line, Digest& digest) {
        if (!line.entry) {
          ++misformatted;
          if (options.warn) {
            out.Flush();
            ReportMessage(shown + ": " + std::to_string(line.number) +
                          ": improperly formatted MD5 checksum line");
          }
          return;
        }
        ++wellFormed;
        const std::string& name = line.entry->name;
        if (digest.hex.empty()) {
          if (options.ignoreMissing && digest.error == std::errc::no_such_file_or_directory) {
            return;
          }
          out.Flush();
          ReportFailure(QuoteName(name), digest.error);
          ++failedReads;
          if (!options.status) out.Add(CheckedName(name) + ": FAILED open or read\n");
          return;
        }
        bool same = true;
        for (std::size_t i = 0; i < digest.hex.size(); ++i) {
          same = same &&
                 std::toupper(static_cast<unsigned char>(line.entry->digest[i])) == digest.hex[i];
        }
        if (same) {
          matched = true;
          if (!options.status && !options.quiet) out.Add(CheckedName(name) + ": OK\n");
        } else {
          ++mismatched;
          if (!options.status) out.Add(CheckedName(name) + ": FAILED\n");
        }
      },
      [&stop] {
        if (stop) stop->Stop();
      },
      // A list that comes slowly is answered as it comes, also through a pipe.
      lines.MayWait() ? std::function<void()>([&out] { out.Flush(); }) : std::function<void()>());
  out.Flush();
  if (readError) {
    ReportMessage(shown + ": read error");
    return false;
  }

  if (wellFormed == 0) {
    ReportMessage(shown + ": no properly formatted checksum lines found");
  } else if (!options.status) {
    if (misformatted > 0) {
      ReportMessage("WARNING: " + Plural(misformatted, "line is", "lines are") +
                    " improperly formatted");
    }
    if (failedReads > 0) {
      ReportMessage("WARNING: " + Plural(failedReads, "listed file", "listed files") +
                    " could not be read");
    }
    if (mismatched > 0) {
      ReportMessage("WARNING: " + Plural(mismatched, "computed checksum", "computed checksums") +
                    " did NOT match");
    }
    if (options.ignoreMissing && !matched) ReportMessage(shown + ": no file was verified");
  }
  return wellFormed > 0 && matched && mismatched == 0 && failedReads == 0 &&
         (!options.strict || misformatted == 0);
}

int CheckLists(const Md5Options& options) {
  const std::vector<std::string> lists =
      options.files.empty() ? std::vector<std::string>{"-"} : options.files;
  LineWriter out;
  ListParser parser;
  bool passed = true;
  for (const std::string& list : lists) passed = CheckList(list, options, parser, out) && passed;
  out.Flush();
  return passed ? 0 : 1;
}

}  // namespace

Command Md5Command() {
  auto options = std::make_shared<Md5Options>();
  // --quiet, --status and --warn undo each other: the last one given counts, as in md5sum.
  const auto verbosity = [options](bool quiet, bool status, bool warn) {
    return [options, quiet, status, warn](const std::string&) {
      options->quiet = quiet;
      options->status = status;
      options->warn = warn;
    };
  };
  Command command;
  command.name = "md5";
  command.group = kStreamsGroup;
  command.synopsis = "[OPTION]... [FILE]...";
  command.summary =
      "MD5 digests of files in md5sum's layout, with uppercase digits; -c checks md5sum lists.";
  command.details =
      "With no FILE, or when FILE is -, read standard input from where it stands. Files are "
      "digested 24 at a time (32 with AVX-512) in the processor's vector lanes, on -j threads; the "
      "output is in argument order, as md5sum writes it.";
  command.options = {
      {"check", 'c', "", "read digests from the FILEs and check them",
       [options](const std::string&) { options->check = true; }},
      {"jobs", 'j', "N", "digest on N threads (1 to 256)",
       [options](const std::string& value) {
         options->jobs =
             static_cast<unsigned>(ReadNumber(value, 1, 256, "--jobs", "a number of threads"));
       }},
      {"tag", 0, "", "write BSD-style lines: MD5 (NAME) = DIGEST",
       [options](const std::string&) { options->tag = true; }},
      {"zero", 'z', "", "end each output line with NUL instead of a line feed; no name escaping",
       [options](const std::string&) { options->zero = true; }},
      {"ignore-missing", 0, "", "with -c: say nothing of listed files that do not exist",
       [options](const std::string&) { options->ignoreMissing = true; }},
      {"quiet", 0, "", "with -c: do not print OK for each good file",
       verbosity(true, false, false)},
      {"status", 0, "", "with -c: print nothing; the exit status tells",
       verbosity(false, true, false)},
      {"strict", 0, "", "with -c: fail on improperly formatted lines",
       [options](const std::string&) { options->strict = true; }},
      {"warn", 'w', "", "with -c: warn about improperly formatted lines",
       verbosity(false, false, true)},
  };
  command.finish = [options](std::vector<std::string> operands) -> Runner {
    options->files = std::move(operands);
    if (options->check) {
      if (options->tag) {
        throw UsageError("md5", "the --tag option is meaningless when verifying checksums", "md5");
      }
      if (options->zero) {
        throw UsageError("md5", "the --zero option is not supported when verifying checksums",
                         "md5");
      }
    } else {
      for (const auto& [set, name] : {std::pair{options->quiet, "--quiet"},
                                      {options->status, "--status"},
                                      {options->strict, "--strict"},
                                      {options->warn, "--warn"},
                                      {options->ignoreMissing, "--ignore-missing"}}) {
        if (set) {
          throw UsageError(
              "md5",
              std::string("the ") + name + " option is meaningful only when verifying checksums",
              "md5");
        }
      }
    }
    return [options] { return options->check ? CheckLists(*options) : DigestFiles(*options); };
  };
  return command;
}

}  // namespace ansicrypt::cli
