// The digest of one named input, and the digest text of a lane outcome.
#include "cli/commands/file_digests.h"

#include <unistd.h>

#include "ansicrypt/common/utf8.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/input_file.h"
#include "cli/io/output_file.h"
#include "cli/io/process.h"
#include "cli/io/standard_descriptors.h"

namespace ansicrypt::cli {

Digest DigestNamed(const std::string& name) {
  clsMD5 md5;
  Digest digest;
  Text hex;
  if (name == "-") {
    WidenPipe(STDIN_FILENO);
    auto input = platform::InputFile::StandardInput();
    hex = md5.Md5_Input_Calc(input, digest.error);
  } else if (LeadsToClosedStandardDescriptor(name)) {
    // /dev/stdin with descriptor 0 closed names nothing, as the system would have found.
    digest.error = std::make_error_code(std::errc::no_such_file_or_directory);
    return digest;
  } else {
    hex = md5.Md5_File_Calc(PathOfName(name), digest.error);
  }
  digest.hex = TextToUtf8(hex);
  return digest;
}

Digest DigestOfOutcome(const detail::Md5FileOutcome& outcome) {
  Digest digest;
  digest.error = outcome.error;
  if (outcome.error) return digest;
  digest.hex = TextToUtf8(detail::Md5DigestText(outcome.state));
  return digest;
}

}  // namespace ansicrypt::cli
