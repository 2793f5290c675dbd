// Digests of many files at once: each file takes a lane of Md5CompressLanes as one comes free, so
// that files of different sizes keep every lane busy.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>

#include "ansicrypt/common/types.h"

namespace ansicrypt::detail {

struct Md5FileJob {
  std::size_t index;  // the caller's number for the file, handed back with its outcome
  std::filesystem::path path;
};

struct Md5FileOutcome {
  // The digest's state words A, B, C, D. After a failure, the state that digesting the file alone
  // (clsMD5::Md5_File_Calc) would have left: every whole block read before the failure absorbed.
  std::array<std::uint32_t, 4> state{};
  bool opened = false;    // false: the file could not be opened, and `state` means nothing
  std::error_code error;  // set when the file could not be digested
};

// True for a path that names something other than a regular file or a folder: a FIFO, a device,
// a socket, /dev/stdin on a pipe. Such a file is read alone, never beside others.
bool IsStreamPath(const std::filesystem::path& path);

// The digest of a state as 32 uppercase hexadecimal digits: the bytes of A, B, C, D, each least
// significant byte first.
Text Md5DigestText(const std::array<std::uint32_t, 4>& state);

// The files open in the lanes of calls of DigestFilesInLanes that run at the same time (one per
// thread), so that a call with no file open waits for a descriptor that another call will close,
// instead of failing its file for want of one. A file counts from just before its open, so that
// no call can see the count at zero while another call's open succeeds.
class Md5DescriptorPool {
 public:
  void Opening();              // before an open
  void OpenFailed();           // after an open that failed
  void Closed();               // after a close
  std::uint64_t Generation();  // counts the files closed
  // Waits until a file is closed after `generation` was read; false at once when no call holds or
  // is opening a file (none will be closed), or when `cancel` becomes true.
  bool WaitForClose(std::uint64_t generation, const std::atomic<bool>* cancel);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t open_ = 0;
  std::uint64_t generation_ = 0;
};

// The size of each lane's read buffer on a machine with this much second-level cache per core (0:
// unknown, taken as 512 KiB) and `lanes` lanes in use: the buffers of all lanes fit in it, so that
// the lines a read copies into are still there when the lanes consume them (with a 512 KiB L2,
// sixteen 64 KiB buffers made the reads' copies cost as much as the digests). A power of two from
// 16 KiB to 64 KiB: smaller reads cost more calls, and larger ones gain nothing.
std::size_t Md5LaneBufferBytes(std::size_t secondLevelCacheBytes, std::size_t lanes);

// Takes files from `next` whenever a lane is free, reads each from its start to its end, and hands
// every outcome to `done` as the file finishes: in completion order, not in the order of `next`.
// `next(wait)` gives the next file or nothing: with `wait` true (no lane is busy) nothing means
// that no file is left; with `wait` false it may only mean that none is ready yet, and `next` is
// asked again when a lane is free. A stream (IsStreamPath) is read alone, after the files before
// it and before those after it; a file that finds no descriptor free waits for one, also for one
// that another call of the same `pool` will close. Fails a file as clsMD5::Md5_File_Calc does: the
// system's error when it cannot be opened or read, errc::overflow at 2^28 bytes. Both callbacks run
// on the calling thread. When `cancel` is given and becomes true, returns soon after without
// finishing the files in the lanes.
// `laneBufferBytes` sizes each lane's read buffer (rounded down to a multiple of 64, within 64
// bytes and 1 MiB); 0 takes Md5LaneBufferBytes(SecondLevelCacheBytes(), Md5LanesInUse()).
void DigestFilesInLanes(const std::function<std::optional<Md5FileJob>(bool wait)>& next,
                        const std::function<void(std::size_t index, Md5FileOutcome&)>& done,
                        const std::atomic<bool>* cancel = nullptr,
                        Md5DescriptorPool* pool = nullptr, std::size_t laneBufferBytes = 0);

}  // namespace ansicrypt::detail
