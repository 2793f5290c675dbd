// A file written beside its target and put in its place only when complete: unnamed where the file
// system allows it (O_TMPFILE), so that nothing is left behind whatever ends the process, SIGKILL
// included; named .ansicrypt-XXXXXX otherwise, and removed by the signal handlers.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace ansicrypt::cli {

class TemporaryFile {
 public:
  // Makes the file in `directory` with `mode`, which the umask or the folder's default ACL narrow
  // as for any new file. Raises std::system_error with the system's reason when none can be made.
  TemporaryFile(const std::filesystem::path& directory, mode_t mode);
  ~TemporaryFile();  // removes the file unless it was put in place
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return fd_; }

  // Names the file (an unnamed one at the last moment), closes it and renames it over `target`.
  // Raises std::system_error; the file is then removed.
  void Replace(const std::string& target);

 private:
  void Discard();

  int fd_ = -1;
  std::filesystem::path directory_;
  std::string name_;  // empty while the file has no name
};

}  // namespace ansicrypt::cli
