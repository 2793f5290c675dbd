// The lane scheduler: files are read into one buffer per lane and advanced together, as many
// blocks at a time as every busy lane has; a lane is refilled when fewer than 64 bytes are left,
// and given the next file when its digest is done.
#include "ansicrypt/digest/detail/md5_file_lanes.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>

#include "ansicrypt/common/detail/processor_caches.h"
#include "ansicrypt/common/error.h"
#include "ansicrypt/common/hex_text.h"
#include "ansicrypt/digest/detail/md5_compress.h"
#include "ansicrypt/digest/detail/md5_lanes.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/input_file.h"

namespace ansicrypt::detail {
namespace {

constexpr std::array<std::uint32_t, 4> kInitialState = {0x67452301, 0xefcdab89, 0x98badcfe,
                                                        0x10325476};

struct Lane {
  std::optional<platform::InputFile> file;
  std::size_t index = 0;
  std::uint8_t* buffer = nullptr;      // the scheduler's bufferBytes_
  const std::uint8_t* data = nullptr;  // the next block to absorb
  std::size_t available = 0;           // bytes from `data` on
  std::int64_t total = 0;              // bytes read from the file
  bool finishing = false;              // `data` is in `pad`: the digest is done when it is absorbed
  bool stream = false;                 // not a regular file: read alone
  std::array<std::uint8_t, 128> pad{};

  bool Busy() const { return file.has_value(); }
};

class Scheduler {
 public:
  Scheduler(const std::function<std::optional<Md5FileJob>(bool)>& next,
            const std::function<void(std::size_t, Md5FileOutcome&)>& done,
            const std::atomic<bool>* cancel, Md5DescriptorPool* pool, std::size_t bufferBytes)
      : next_(next),
        done_(done),
        cancel_(cancel),
        pool_(pool),
        bufferBytes_(bufferBytes),
        laneCount_(Md5LanesInUse()),
        buffers_(new std::uint8_t[laneCount_ * bufferBytes]) {  // not zeroed: every read fills it
    for (std::size_t l = 0; l < laneCount_; ++l)
      lanes_[l].buffer = buffers_.get() + l * bufferBytes;
  }

  void Run() {
    while (cancel_ == nullptr || !cancel_->load(std::memory_order_relaxed)) {
      std::uint32_t active = 0;
      std::size_t count = SIZE_MAX;
      waiting_ = false;
      for (std::size_t l = 0; l < laneCount_; ++l) {
        if (!Prepare(l)) continue;
        active |= std::uint32_t{1} << l;
        count = std::min(count, lanes_[l].available / 64);
      }
      if (active == 0) return;
      if (static_cast<std::size_t>(std::popcount(active)) >= Md5LanesWorthwhile()) {
        const std::uint8_t* blocks[kMd5Lanes] = {};
        for (std::size_t l = 0; l < laneCount_; ++l) blocks[l] = lanes_[l].data;
        Md5CompressLanes(states_, blocks, active, count);
        for (std::size_t l = 0; l < laneCount_; ++l) {
          if ((active >> l) & 1) Advance(lanes_[l], count);
        }
      } else {
        // Too few lanes for the vector path: each absorbs all it has, one message at a time.
        for (std::size_t l = 0; l < laneCount_; ++l) {
          if ((active >> l) & 1) AbsorbWholeBlocks(l);
        }
      }
    }
  }

 private:
  static void Advance(Lane& lane, std::size_t blocks) {
    lane.data += 64 * blocks;
    lane.available -= 64 * blocks;
  }

  void AbsorbWholeBlocks(std::size_t l) {
    Lane& lane = lanes_[l];
    std::array<std::uint32_t, 4> state = states_.Get(l);
    const std::size_t blocks = lane.available / 64;
    Md5Compress(state, lane.data, blocks);
    states_.Set(l, state);
    Advance(lane, blocks);
  }

  // Leaves lane l with a block to absorb and returns true, or returns false when it is free and
  // no file is left. Files that end or fail on the way are handed over.
  bool Prepare(std::size_t l) {
    Lane& lane = lanes_[l];
    while (true) {
      if (!lane.Busy() && !Assign(l)) return false;
      if (lane.available >= 64) return true;
      if (lane.finishing) {
        Finish(l, std::error_code());
        continue;
      }
      try {
        Refill(lane);
      } catch (const std::system_error& e) {
        AbsorbWholeBlocks(l);
        Finish(l, e.code());
      }
    }
  }

  // Opens the next file in lane l; false when there is none for now. Files that cannot be opened
  // are handed over at once. A stream (IsStreamPath) is opened only when no other lane is busy,
  // and no other file while it is read: its open may wait for a writer that first fills an
  // earlier file, and two names may stand for one stream. A file that finds no descriptor free
  // waits for a lane to close its file, here or in another call of the pool.
  bool Assign(std::size_t l) {
    Lane& lane = lanes_[l];
    while (!streamInLane_) {
      std::optional<Md5FileJob> job;
      if (held_) {
        job = std::move(held_);
        held_.reset();
      } else {
        // Busy lanes go on while no file is ready: `next` is asked once per round then.
        const bool wait = BusyLanes() == 0;
        if (!wait && waiting_) return false;
        job = next_(wait);
        if (!job) {
          waiting_ = !wait;
          return false;
        }
      }
      const bool stream = IsStreamPath(job->path);
      if (stream && BusyLanes() > 0) {
        held_ = std::move(job);
        return false;
      }
      const std::uint64_t generation = pool_ != nullptr ? pool_->Generation() : 0;
      if (pool_ != nullptr) pool_->Opening();
      try {
        lane.file.emplace(job->path);
      } catch (const std::system_error& e) {
        if (pool_ != nullptr) pool_->OpenFailed();
        const bool outOfDescriptors = e.code() == std::errc::too_many_files_open ||
                                      e.code() == std::errc::too_many_files_open_in_system;
        if (outOfDescriptors && BusyLanes() > 0) {
          held_ = std::move(job);
          return false;
        }
        if (outOfDescriptors && pool_ != nullptr && pool_->WaitForClose(generation, cancel_)) {
          held_ = std::move(job);
          continue;
        }
        Md5FileOutcome outcome;
        outcome.error = e.code();
        done_(job->index, outcome);
        continue;
      }
      lane.index = job->index;
      lane.data = lane.buffer;
      lane.available = 0;
      lane.total = 0;
      lane.finishing = false;
      lane.stream = stream;
      streamInLane_ = stream;
      states_.Set(l, kInitialState);
      return true;
    }
    return false;
  }

  std::size_t BusyLanes() const {
    return static_cast<std::size_t>(
        std::count_if(lanes_.begin(), lanes_.end(), [](const Lane& lane) { return lane.Busy(); }));
  }

  // Moves the last partial block to the front of the buffer and reads after it; at the end of the
  // file, sets up the padding blocks instead. Raises the read's error, and errc::overflow once
  // 2^28 bytes are in (the bit length would not fit the legacy signed 32-bit count).
  void Refill(Lane& lane) const {
    const std::size_t kept = lane.available;
    std::memmove(lane.buffer, lane.data, kept);
    lane.data = lane.buffer;
    // Reads stop at 2^28 bytes, where the file fails: the state then holds exactly that much.
    const auto left = static_cast<std::uint64_t>(clsMD5::kMaxFileBytes - lane.total);
    const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(bufferBytes_ - kept, left));
    const std::size_t n = lane.file->Read(lane.buffer + kept, room);
    if (n == 0) {
      Pad(lane);
      return;
    }
    lane.total += static_cast<std::int64_t>(n);
    lane.available = kept + n;
    if (lane.total >= clsMD5::kMaxFileBytes) throw Error(errc::overflow);
  }

  // RFC 1321 section 3.1-3.2: 0x80, zeros to 56 bytes modulo 64, then the bit length as 64 bits,
  // least significant byte first.
  static void Pad(Lane& lane) {
    const std::size_t kept = lane.available;
    lane.pad.fill(0);
    std::memcpy(lane.pad.data(), lane.data, kept);
    lane.pad[kept] = 0x80;
    const std::size_t lengthAt = kept < 56 ? 56 : 120;
    const std::uint64_t bits = static_cast<std::uint64_t>(lane.total) * 8;
    for (std::size_t k = 0; k < 8; ++k)
      lane.pad[lengthAt + k] = static_cast<std::uint8_t>(bits >> (8 * k));
    lane.data = lane.pad.data();
    lane.available = lengthAt + 8;
    lane.finishing = true;
  }

  void Finish(std::size_t l, std::error_code error) {
    Lane& lane = lanes_[l];
    lane.file.reset();
    if (pool_ != nullptr) pool_->Closed();
    if (lane.stream) streamInLane_ = false;
    Md5FileOutcome outcome;
    outcome.state = states_.Get(l);
    outcome.opened = true;
    outcome.error = error;
    done_(lane.index, outcome);
  }

  const std::function<std::optional<Md5FileJob>(bool)>& next_;
  const std::function<void(std::size_t, Md5FileOutcome&)>& done_;
  const std::atomic<bool>* cancel_;
  Md5DescriptorPool* pool_;
  std::size_t bufferBytes_;
  std::size_t laneCount_;  // lanes in use, kMd5Lanes at most
  std::unique_ptr<std::uint8_t[]> buffers_;
  std::array<Lane, kMd5Lanes> lanes_;
  Md5LaneStates states_{};
  std::optional<Md5FileJob> held_;  // taken from `next`, waiting for the lanes to allow it
  bool streamInLane_ = false;
  bool waiting_ = false;  // `next` had no file ready this round
};

}  // namespace

std::size_t Md5LaneBufferBytes(std::size_t secondLevelCacheBytes, std::size_t lanes) {
  constexpr std::size_t kSmallest = 16 * 1024;
  constexpr std::size_t kLargest = 64 * 1024;
  // Unknown: a 512 KiB L2, the smallest in wide use.
  const std::size_t cache = secondLevelCacheBytes == 0 ? 512 * 1024 : secondLevelCacheBytes;
  return std::clamp(std::bit_floor(cache / std::max<std::size_t>(lanes, 1)), kSmallest, kLargest);
}

bool IsStreamPath(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error) return false;  // opening it will say why
  return !std::filesystem::is_regular_file(status) && !std::filesystem::is_directory(status);
}

Text Md5DigestText(const std::array<std::uint32_t, 4>& state) {
  // A, B, C and D, each little-endian: the digest bytes as MD5 defines them.
  ByteArray digest(16);
  for (std::size_t w = 0; w < 4; ++w) {
    for (std::size_t k = 0; k < 4; ++k)
      digest[4 * w + k] = static_cast<std::uint8_t>(state[w] >> (8 * k));
  }
  return HexText(digest);
}

void Md5DescriptorPool::Opening() {
  const std::lock_guard lock(mutex_);
  ++open_;
}

void Md5DescriptorPool::OpenFailed() {
  {
    const std::lock_guard lock(mutex_);
    --open_;
  }
  changed_.notify_all();
}

void Md5DescriptorPool::Closed() {
  {
    const std::lock_guard lock(mutex_);
    --open_;
    ++generation_;
  }
  changed_.notify_all();
}

std::uint64_t Md5DescriptorPool::Generation() {
  const std::lock_guard lock(mutex_);
  return generation_;
}

bool Md5DescriptorPool::WaitForClose(std::uint64_t generation, const std::atomic<bool>* cancel) {
  std::unique_lock lock(mutex_);
  while (generation_ == generation) {
    if (open_ == 0) return false;
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return false;
    changed_.wait_for(lock, std::chrono::milliseconds(50));
  }
  return true;
}

void DigestFilesInLanes(const std::function<std::optional<Md5FileJob>(bool)>& next,
                        const std::function<void(std::size_t, Md5FileOutcome&)>& done,
                        const std::atomic<bool>* cancel, Md5DescriptorPool* pool,
                        std::size_t laneBufferBytes) {
  if (laneBufferBytes == 0) {
    static const std::size_t machineCache = SecondLevelCacheBytes();
    laneBufferBytes = Md5LaneBufferBytes(machineCache, Md5LanesInUse());
  }
  // A whole number of blocks, at least one (a lane must be able to hold a block to absorb it),
  // and no more than the largest size the machine would get, many times over.
  laneBufferBytes = std::clamp<std::size_t>(laneBufferBytes & ~std::size_t{63}, 64, 1U << 20);
  Scheduler(next, done, cancel, pool, laneBufferBytes).Run();
}

}  // namespace ansicrypt::detail
