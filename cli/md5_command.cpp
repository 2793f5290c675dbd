// ansicrypt md5: digests of files in md5sum's layout, checks of md5sum lists, text digests.
#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "ansicrypt/common/utf8.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/input_file.h"
#include "cli/commands.h"
#include "cli/io.h"

namespace ansicrypt::cli {
namespace {

struct Md5Options {
  std::vector<std::string> files;
  unsigned jobs = 1;
  std::string checkList;
  std::optional<std::string> text;
  bool registers = false;
};

std::string PathOf(const std::string& name) { return name == "-" ? "/dev/stdin" : name; }

std::string Registers(const clsMD5& md5) {
  return TextToUtf8(u"registers " + md5.RegisterA() + u" " + md5.RegisterB() + u" " +
                    md5.RegisterC() + u" " + md5.RegisterD());
}

// Why a file gave no digest: what opening it says, else the size limit, else a read error.
std::error_code WhyNoDigest(const std::string& name) {
  try {
    platform::InputFile file(Utf8ToText(PathOf(name)));
  } catch (const std::system_error& e) {
    return e.code();
  }
  std::error_code ignored;
  const auto size = std::filesystem::file_size(PathOf(name), ignored);
  if (!ignored && size >= static_cast<std::uintmax_t>(clsMD5::kMaxFileBytes)) {
    return make_error_code(errc::overflow);
  }
  return std::make_error_code(std::errc::io_error);
}

void ReportFailure(const std::string& name, std::error_code code) {
  std::cerr << "ansicrypt: " << name << ": " << code.message() << " (error " << code.value()
            << ")\n";
}

struct Digest {
  Text hex;  // empty when the file could not be digested
  std::string registers;
};

// Digests `names` on `jobs` threads, one clsMD5 each, and hands the results to `consume` in the
// order of the names as soon as each is ready.
void DigestFiles(const std::vector<std::string>& names, unsigned jobs, bool registers,
                 const std::function<void(std::size_t, const Digest&)>& consume) {
  std::vector<std::optional<Digest>> results(names.size());
  std::mutex mutex;
  std::condition_variable ready;
  std::size_t next = 0;
  auto work = [&] {
    clsMD5 md5;
    while (true) {
      std::size_t index;
      {
        const std::lock_guard lock(mutex);
        if (next == names.size()) return;
        index = next++;
      }
      Digest digest{md5.Md5_File_Calc(Utf8ToText(PathOf(names[index]))), {}};
      if (registers) digest.registers = Registers(md5);
      {
        const std::lock_guard lock(mutex);
        results[index] = std::move(digest);
      }
      ready.notify_all();
    }
  };
  std::vector<std::jthread> workers;
  for (unsigned i = 1; i < std::min<std::size_t>(jobs, names.size()); ++i)
    workers.emplace_back(work);
  if (!names.empty()) workers.emplace_back(work);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::unique_lock lock(mutex);
    ready.wait(lock, [&] { return results[i].has_value(); });
    const Digest digest = std::move(*results[i]);
    lock.unlock();
    consume(i, digest);
  }
}

int DigestFileList(const Md5Options& options) {
  const std::vector<std::string> names =
      options.files.empty() ? std::vector<std::string>{"-"} : options.files;
  int status = 0;
  Output out("-");
  DigestFiles(names, options.jobs, options.registers, [&](std::size_t i, const Digest& digest) {
    if (digest.hex.empty()) {
      ReportFailure(names[i], WhyNoDigest(names[i]));
      status = 1;
      return;
    }
    std::string line = TextToUtf8(digest.hex) + "  " + names[i] + "\n";
    if (options.registers) line += digest.registers + "\n";
    out.Write(line);
  });
  return status;
}

// Checks a list in md5sum's layout: "DIGEST  NAME" or "DIGEST *NAME", digits in either case.
int CheckList(const Md5Options& options) {
  Input list(options.checkList);
  std::istringstream lines(list.ReadAll());
  std::vector<std::string> names;
  std::vector<std::string> expected;
  int status = 0;
  std::size_t lineNumber = 0;
  for (std::string line; std::getline(lines, line);) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const bool wellFormed = line.size() > 34 &&
                            line.find_first_not_of("0123456789abcdefABCDEF") == 32 &&
                            line[32] == ' ' && (line[33] == ' ' || line[33] == '*');
    if (!wellFormed) {
      std::cerr << "ansicrypt: " << (IsStandardStream(options.checkList) ? "-" : options.checkList)
                << ":" << lineNumber << ": improperly formatted line\n";
      status = 1;
      continue;
    }
    std::string digest = line.substr(0, 32);
    for (auto& c : digest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    expected.push_back(digest);
    names.push_back(line.substr(34));
  }
  Output out("-");
  DigestFiles(names, options.jobs, false, [&](std::size_t i, const Digest& digest) {
    const std::string result = digest.hex.empty()                      ? "FAILED open or read"
                               : TextToUtf8(digest.hex) == expected[i] ? "OK"
                                                                       : "FAILED";
    if (result != "OK") status = 1;
    out.Write(names[i] + ": " + result + "\n");
  });
  return status;
}

int DigestText(const Md5Options& options) {
  clsMD5 md5;
  std::string line = TextToUtf8(md5.Md5_String_Calc(Utf8ToText(*options.text))) + "\n";
  if (options.registers) line += Registers(md5) + "\n";
  Output("-").Write(line);
  return 0;
}

}  // namespace

void AddMd5Command(CLI::App& app, Runner& selected) {
  auto options = std::make_shared<Md5Options>();
  CLI::App* command = app.add_subcommand("md5",
                                         "MD5 digests of files (none or -: standard input), "
                                         "in md5sum's layout with uppercase digits");
  command->add_option("files", options->files, "Files to digest");
  command->add_option("-j,--jobs", options->jobs, "Digest this many files at a time")
      ->check(CLI::Range(1, 256));
  auto* check = command->add_option("-c,--check", options->checkList,
                                    "Check the digests listed in an md5sum-format file");
  auto* text =
      command->add_option("--text", options->text, "Digest this text's ANSI bytes instead");
  command->add_flag("--registers", options->registers,
                    "Also print the four state words as signed decimal numbers");
  check->excludes(text);
  command->callback([options, &selected] {
    if (!options->checkList.empty() && !options->files.empty()) {
      throw CLI::ValidationError("--check", "takes no file arguments");
    }
    if (options->text && !options->files.empty()) {
      throw CLI::ValidationError("--text", "takes no file arguments");
    }
    selected = [options] {
      if (!options->checkList.empty()) return CheckList(*options);
      if (options->text) return DigestText(*options);
      return DigestFileList(*options);
    };
  });
}

}  // namespace ansicrypt::cli
