// Many files at once: the lane transform on every path against the one-message transform, and
// Md5_Files_Calc against OpenSSL and against Md5_File_Calc, failures among good files included.
#include <gtest/gtest.h>

#if !defined(_WIN32)  // FIFOs, descriptor limits and SIGPIPE: the POSIX cases below
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif
#include <thread>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>

#include "ansicrypt/common/detail/processor_caches.h"
#include "ansicrypt/digest/detail/md5_compress.h"
#include "ansicrypt/digest/detail/md5_file_lanes.h"
#include "ansicrypt/digest/detail/md5_lanes.h"
#include "ansicrypt/digest/md5.h"
#include "tests/support/oracle.h"
#include "tests/support/simd_scope.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {
namespace {

using detail::kMd5Lanes;
using detail::SimdLevel;

Text OpenSslMd5(const ByteArray& bytes) {
  const std::string hex = ToHex(OracleMd5(bytes));
  return Text(hex.begin(), hex.end());
}

ByteArray RandomBytes(std::size_t n, std::mt19937& rng) {
  ByteArray bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

class Md5Paths : public testing::TestWithParam<SimdLevel> {
 protected:
  void SetUp() override {
    if (!SimdScope::Available(GetParam())) GTEST_SKIP() << "this processor lacks the path";
  }
};

using LanePath = void (*)(detail::Md5LaneStates&, const std::uint8_t* const*, std::uint32_t,
                          std::size_t);

// Random states and blocks for the lanes in `active`, each lane's blocks in an allocation of their
// own and no pointer at all for an idle lane, so that a read out of place is caught; every lane
// must end as the one-message transform leaves it, the idle ones untouched.
void ExpectLanesEqualOneMessageTransform(LanePath run, std::uint32_t active, std::size_t count,
                                         std::mt19937& rng, const std::string& context) {
  detail::Md5LaneStates states{};
  std::vector<ByteArray> data(kMd5Lanes);
  const std::uint8_t* blocks[kMd5Lanes] = {};
  for (std::size_t l = 0; l < kMd5Lanes; ++l) {
    states.Set(l, {static_cast<std::uint32_t>(rng()), static_cast<std::uint32_t>(rng()),
                   static_cast<std::uint32_t>(rng()), static_cast<std::uint32_t>(rng())});
    if ((active >> l) & 1) {
      data[l] = RandomBytes(64 * count, rng);
      blocks[l] = data[l].data();
    }
  }
  const detail::Md5LaneStates before = states;
  run(states, blocks, active, count);
  for (std::size_t l = 0; l < kMd5Lanes; ++l) {
    std::array<std::uint32_t, 4> expected = before.Get(l);
    if ((active >> l) & 1) detail::Md5Compress(expected, blocks[l], count);
    EXPECT_EQ(states.Get(l), expected)
        << context << " active " << std::hex << active << std::dec << " lane " << l;
  }
}

// Lane sets that meet the paths' borders: every lane; AVX-512's halves of sixteen alone and lanes
// either side of their border; AVX2's sets of eight (lanes 0-23 as a group of up to three, 24-31
// as one of their own) alone, in twos and threes, and lanes either side of each border; the two
// outermost lanes and one lane alone at each end.
constexpr std::uint32_t kBorderLaneSets[] = {
    0xFFFFFFFF, 0x0000FFFF, 0xFFFF0000, 0x00018000, 0x000000FF, 0x0000FF00, 0x00FF0000,
    0xFF000000, 0x00FFFFFF, 0xFFFFFF00, 0xFF00FF00, 0x00000180, 0x00800100, 0x01800000,
    0x01000001, 0x80000001, 0x00000001, 0x80000000, 0x00010000, 0x00800000, 0x01000000};

// Through Md5CompressLanes, which moves lanes spread over more sets than they fill to the first
// ones: the border sets, then random sets, some within one half and some sparse.
TEST_P(Md5Paths, LanesEqualOneMessageTransform) {
  const SimdScope path(GetParam());
  std::mt19937 rng(7);
  for (const std::uint32_t active : kBorderLaneSets)
    ExpectLanesEqualOneMessageTransform(detail::Md5CompressLanes, active, 1 + rng() % 5, rng, "");
  for (int trial = 0; trial < 300; ++trial) {
    std::uint32_t active = static_cast<std::uint32_t>(rng());
    if (trial % 3 == 1) active &= trial % 2 == 0 ? 0xFFFF0000 : 0x0000FFFF;
    if (trial % 5 == 2) active &= static_cast<std::uint32_t>(rng());
    ExpectLanesEqualOneMessageTransform(detail::Md5CompressLanes, active, 1 + rng() % 5, rng,
                                        "trial " + std::to_string(trial));
  }
}

// Each vector path called straight, without the packing in front of it, so that lanes with gaps
// between them reach every set of every group.
TEST(Md5VectorPaths, LanesEqualOneMessageTransformUnpacked) {
  const std::pair<SimdLevel, LanePath> paths[] = {
      {SimdLevel::kAvx2, detail::Md5CompressLanesAvx2},
      {SimdLevel::kAvx512, detail::Md5CompressLanesAvx512}};
  bool ran = false;
  for (const auto& [level, run] : paths) {
    if (!SimdScope::Available(level)) continue;
    ran = true;
    std::mt19937 rng(17);
    const std::string name = level == SimdLevel::kAvx2 ? "AVX2" : "AVX-512";
    for (const std::uint32_t active : kBorderLaneSets)
      ExpectLanesEqualOneMessageTransform(run, active, 1 + rng() % 4, rng, name);
    // Random sets, some confined to one, two or three sets of eight or to lanes 24-31, so that
    // groups of every size meet lanes with gaps between them.
    constexpr std::uint32_t kConfined[] = {0xFFFFFFFF, 0x000000FF, 0x0000FFFF,
                                           0x00FFFFFF, 0xFF000000, 0xFFFF0000};
    for (int trial = 0; trial < 300; ++trial) {
      const auto active = static_cast<std::uint32_t>(rng()) & kConfined[trial % 6];
      ExpectLanesEqualOneMessageTransform(run, active, 1 + rng() % 4, rng, name);
    }
  }
  if (!ran) GTEST_SKIP() << "this processor has no vector path";
}

// Files of many lengths, more than there are lanes, so that lanes end at different times and are
// refilled: every length up to 300 in steps, lengths around multiples of 64 and of the 64 KiB read
// size, empty files among them, and a few of megabytes.
TEST_P(Md5Paths, FilesEqualOpenSsl) {
  const SimdScope path(GetParam());
  const TempDir dir;
  std::mt19937 rng(11);
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n <= 300; n += 1 + rng() % 7) sizes.push_back(n);
  for (std::size_t m : {1U, 2U, 3U, 16U, 100U}) {
    for (std::size_t n : {64 * m - 1, 64 * m, 64 * m + 1}) sizes.push_back(n);
  }
  for (std::size_t n : {65535U, 65536U, 65537U, 131072U + 56U}) sizes.push_back(n);
  sizes.insert(sizes.begin() + 20, 0);
  for (std::size_t n : {std::size_t{1} << 21, (std::size_t{3} << 20) + 17}) sizes.push_back(n);
  std::shuffle(sizes.begin(), sizes.end(), rng);

  std::vector<std::filesystem::path> files;
  std::vector<Text> expected;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const ByteArray bytes = RandomBytes(sizes[i], rng);
    files.push_back(dir.Write("f" + std::to_string(i), bytes));
    expected.push_back(OpenSslMd5(bytes));
  }
  clsMD5 md5;
  std::vector<std::error_code> errors;
  EXPECT_EQ(md5.Md5_Files_Calc(files, errors), expected);
  EXPECT_EQ(errors, std::vector<std::error_code>(files.size()));
}

// A file that cannot be digested gives the empty text and its reason at its place; the files
// around it are digested as if it were not there.
TEST_P(Md5Paths, FailuresAmongGoodFiles) {
  const SimdScope path(GetParam());
  const TempDir dir;
  std::mt19937 rng(13);
  std::vector<std::filesystem::path> files;
  std::vector<Text> expected;
  std::vector<std::error_code> reasons;
  for (int i = 0; i < 40; ++i) {
    if (i % 9 == 4) {
      files.push_back(dir.path() / ("missing" + std::to_string(i)));
      expected.emplace_back();
      reasons.push_back(std::make_error_code(std::errc::no_such_file_or_directory));
    } else if (i % 9 == 7) {
      files.push_back(dir.path());
      expected.emplace_back();
      reasons.push_back(std::make_error_code(std::errc::is_a_directory));
    } else {
      const ByteArray bytes = RandomBytes(rng() % 200000, rng);
      files.push_back(dir.Write("f" + std::to_string(i), bytes));
      expected.push_back(OpenSslMd5(bytes));
      reasons.emplace_back();
    }
  }
  clsMD5 md5;
  std::vector<std::error_code> errors;
  EXPECT_EQ(md5.Md5_Files_Calc(files, errors), expected);
  EXPECT_EQ(errors, reasons);
  EXPECT_TRUE(md5.Md5_Files_Calc(std::span<const std::filesystem::path>()).empty());
}

// The registers after a batch are those that one file after another leaves, whatever the last
// file did: digested, not opened (the registers of the file before stay), opened and not read.
TEST_P(Md5Paths, RegistersAsIfOneAfterAnother) {
  const SimdScope path(GetParam());
  const TempDir dir;
  std::mt19937 rng(17);
  const auto a = dir.Write("a", RandomBytes(100000, rng));
  const auto b = dir.Write("b", RandomBytes(70, rng));
  const auto missing = dir.path() / "missing";
  const std::vector<std::vector<std::filesystem::path>> batches = {
      {a, b}, {b, a}, {a, b, missing}, {b, missing, missing}, {a, dir.path()}, {missing}};
  for (const auto& batch : batches) {
    clsMD5 oneByOne;
    clsMD5 together;
    oneByOne.Md5_String_Calc(u"earlier");
    together.Md5_String_Calc(u"earlier");
    for (const auto& file : batch) oneByOne.Md5_File_Calc(file);
    together.Md5_Files_Calc(batch);
    EXPECT_EQ(together.RegisterA(), oneByOne.RegisterA());
    EXPECT_EQ(together.RegisterB(), oneByOne.RegisterB());
    EXPECT_EQ(together.RegisterC(), oneByOne.RegisterC());
    EXPECT_EQ(together.RegisterD(), oneByOne.RegisterD());
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Md5Paths, testing::ValuesIn(detail::kAllSimdLevels),
                         testing::PrintToStringParamName());

#if !defined(_WIN32)
// Writes `bytes` into the FIFO at `path` in pieces of `piece` bytes, then closes it; stops quietly
// when the reader goes away.
void FeedFifo(const std::filesystem::path& path, const ByteArray& bytes, std::size_t piece) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  if (fd < 0) return;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    if (::write(fd, bytes.data() + at, std::min(piece, bytes.size() - at)) < 0) break;
  }
  ::close(fd);
}

// A FIFO is read alone, after the files before it and before those after it: a writer that fills
// one FIFO before it opens the next must not find the reader waiting in the second open.
TEST(Md5FilesStreams, FifosFedOneAfterTheOther) {
  const TempDir dir;
  const auto first = dir.path() / "first";
  const auto second = dir.path() / "second";
  ASSERT_EQ(::mkfifo(first.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(second.c_str(), 0600), 0);
  std::mt19937 rng(23);
  const ByteArray big = RandomBytes(1 << 20, rng);
  const ByteArray small = RandomBytes(100, rng);
  const auto good = dir.Write("good", small);
  // Should the reader wait in an open anyway, the alarm ends the test process instead of a hang.
  ::alarm(60);
  std::thread writer([&] {
    FeedFifo(first, big, 4096);
    FeedFifo(second, small, 4096);
  });
  clsMD5 md5;
  const std::vector<std::filesystem::path> files = {good, first, good, second, good};
  const std::vector<Text> digests = md5.Md5_Files_Calc(files);
  writer.join();
  ::alarm(0);
  EXPECT_EQ(digests, (std::vector<Text>{OpenSslMd5(small), OpenSslMd5(big), OpenSslMd5(small),
                                        OpenSslMd5(small), OpenSslMd5(small)}));
}
#endif  // !_WIN32

struct LaneRun {
  std::vector<Text> digests;
  std::vector<std::error_code> errors;
};

// Digests `files` through DigestFilesInLanes, with `next` asked as the scheduler asks it.
LaneRun RunLanes(const std::vector<std::filesystem::path>& files,
                 const std::function<bool(bool wait)>& answerNow,
                 detail::Md5DescriptorPool* pool = nullptr, std::size_t laneBufferBytes = 0) {
  LaneRun run{std::vector<Text>(files.size()), std::vector<std::error_code>(files.size())};
  std::size_t taken = 0;
  detail::DigestFilesInLanes(
      [&](bool wait) -> std::optional<detail::Md5FileJob> {
        if (taken == files.size() || !answerNow(wait)) return std::nullopt;
        const std::size_t index = taken++;
        return detail::Md5FileJob{index, files[index]};
      },
      [&](std::size_t index, detail::Md5FileOutcome& outcome) {
        run.errors[index] = outcome.error;
        if (!outcome.error) run.digests[index] = detail::Md5DigestText(outcome.state);
      },
      nullptr, pool, laneBufferBytes);
  return run;
}

// The lanes' read buffers, sized to the second-level cache: the buffers of the lanes in use fill
// it, within 16-64 KiB.
struct CacheAndBuffer {
  std::size_t cacheBytes;
  std::size_t lanes;
  std::size_t bufferBytes;
};

class Md5LaneBuffers : public testing::TestWithParam<CacheAndBuffer> {};

TEST_P(Md5LaneBuffers, SizedToTheCache) {
  EXPECT_EQ(detail::Md5LaneBufferBytes(GetParam().cacheBytes, GetParam().lanes),
            GetParam().bufferBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Caches, Md5LaneBuffers,
    testing::Values(
        CacheAndBuffer{0, 16, 32 * 1024},  // the machine does not say
        CacheAndBuffer{0, 32, 16 * 1024}, CacheAndBuffer{1, 16, 16 * 1024},
        CacheAndBuffer{256 * 1024, 16, 16 * 1024}, CacheAndBuffer{512 * 1024, 16, 32 * 1024},
        CacheAndBuffer{512 * 1024, 32, 16 * 1024}, CacheAndBuffer{768 * 1024, 16, 32 * 1024},
        CacheAndBuffer{1024 * 1024, 16, 64 * 1024}, CacheAndBuffer{1024 * 1024, 32, 32 * 1024},
        CacheAndBuffer{1024 * 1024, 24, 32 * 1024}, CacheAndBuffer{512 * 1024, 24, 16 * 1024},
        CacheAndBuffer{2048 * 1024, 32, 64 * 1024},
        CacheAndBuffer{std::size_t{1} << 40, 32, 64 * 1024},
        CacheAndBuffer{SIZE_MAX, 16, 64 * 1024}, CacheAndBuffer{1024 * 1024, 0, 64 * 1024}));

// What the processor says, if anything, is a whole number of KiB from 64 KiB to 1 GiB: a field
// read from the wrong bits or in the wrong unit is not.
TEST(Md5LaneBuffers, MachineCacheIsPlausible) {
  const std::size_t bytes = detail::SecondLevelCacheBytes();
  if (bytes == 0) GTEST_SKIP() << "this machine does not say";
  EXPECT_EQ(bytes % 1024, 0U);
  EXPECT_GE(bytes, std::size_t{64} * 1024);
  EXPECT_LE(bytes, std::size_t{1} << 30);
}

// Files of sizes around every multiple of the buffer, through the smallest buffer the lanes can
// use (one block), the smallest they are given and the largest.
TEST(Md5FilesScheduler, EveryBufferSizeGivesTheSameDigests) {
  const TempDir dir;
  std::mt19937 rng(43);
  // 1 and 100 bytes are rounded down to whole blocks: one block.
  for (const std::size_t bufferBytes : {std::size_t{1}, std::size_t{64}, std::size_t{100},
                                        std::size_t{16 * 1024}, std::size_t{64 * 1024}}) {
    std::vector<std::filesystem::path> files;
    std::vector<Text> expected;
    for (std::size_t multiple = 0; multiple < 4; ++multiple) {
      for (const int delta : {-65, -64, -1, 0, 1, 63, 64}) {
        const auto size = static_cast<std::ptrdiff_t>(multiple * bufferBytes) + delta;
        if (size < 0) continue;
        const ByteArray bytes = RandomBytes(static_cast<std::size_t>(size), rng);
        files.push_back(dir.Write("b" + std::to_string(files.size()), bytes));
        expected.push_back(OpenSslMd5(bytes));
      }
    }
    const LaneRun run = RunLanes(
        files, [](bool) { return true; }, nullptr, bufferBytes);
    EXPECT_EQ(run.digests, expected) << bufferBytes << "-byte buffers";
  }
}

// A source that has no file ready while lanes are busy is asked again later, and asked to wait
// only when no lane is busy: every file is digested, none is lost to a "not yet".

TEST(Md5FilesScheduler, NothingReadyIsNotTheEnd) {
  const TempDir dir;
  std::mt19937 rng(41);
  std::vector<std::filesystem::path> files;
  std::vector<Text> expected;
  for (int i = 0; i < 60; ++i) {
    const ByteArray bytes = RandomBytes(rng() % 300000, rng);
    files.push_back(dir.Write("f" + std::to_string(i), bytes));
    expected.push_back(OpenSslMd5(bytes));
  }
  int asked = 0;
  int waited = 0;
  const LaneRun run = RunLanes(files, [&](bool wait) {
    waited += wait ? 1 : 0;
    return wait || ++asked % 3 == 0;  // two "not yet" for every file while lanes are busy
  });
  EXPECT_EQ(run.digests, expected);
  EXPECT_GT(asked, 60);
  EXPECT_GT(waited, 0);
}

// Calls that share a pool share its descriptors: one that finds none free while it holds no file
// waits for another to close one, instead of failing its file with "Too many open files".
TEST(Md5FilesScheduler, IdleCallWaitsForADescriptorOfThePool) {
#if defined(_WIN32)
  GTEST_SKIP() << "descriptor limits (setrlimit) are POSIX's";
#elif defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer needs descriptors of its own when an open fails for want of one";
#else
  const TempDir dir;
  std::mt19937 rng(43);
  std::vector<std::filesystem::path> files;
  std::vector<Text> expected;
  for (int i = 0; i < 40; ++i) {
    // Large first files keep the first call's lanes busy while the second starts.
    const ByteArray bytes = RandomBytes(i < 16 ? (3 << 20) : 1000 + rng() % 5000, rng);
    files.push_back(dir.Write("f" + std::to_string(i), bytes));
    expected.push_back(OpenSslMd5(bytes));
  }
  // Room for ten more descriptors (ten free numbers below the limit): the first call takes them
  // all, the second finds none.
  int limit = 0;
  for (int free = 0; free < 10; ++limit) free += ::fcntl(limit, F_GETFD) < 0 ? 1 : 0;
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit low = saved;
  low.rlim_cur = static_cast<rlim_t>(limit);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  detail::Md5DescriptorPool pool;
  std::atomic<int> asked{0};
  LaneRun first, second;
  std::thread busy([&] {
    first = RunLanes(
        files, [&](bool) { return ++asked > 0; }, &pool);
  });
  // The eleventh file finds no descriptor: the first call holds ten and waits with busy lanes.
  while (asked.load() < 11) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  second = RunLanes(
      files, [](bool) { return true; }, &pool);
  busy.join();
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(first.digests, expected);
  EXPECT_EQ(second.digests, expected);
  EXPECT_EQ(second.errors, std::vector<std::error_code>(files.size()));
#endif
}

// Files of 2^28 bytes or more fail with errc::overflow after being read that far, without
// disturbing a file beside them (labelled "large": skipped by quick runs).
TEST(Md5FilesLarge, TooLongFileAmongGoodOnes) {
  const TempDir dir;
  const auto sparse = dir.path() / "sparse.bin";
  std::ofstream(sparse).close();
  std::filesystem::resize_file(sparse, static_cast<std::uintmax_t>(clsMD5::kMaxFileBytes));
  std::mt19937 rng(19);
  const ByteArray bytes = RandomBytes(5000, rng);
  const auto good = dir.Write("good", bytes);
  clsMD5 md5;
  std::vector<std::error_code> errors;
  const std::vector<std::filesystem::path> files = {good, sparse, good};
  EXPECT_EQ(md5.Md5_Files_Calc(files, errors),
            (std::vector<Text>{OpenSslMd5(bytes), Text(), OpenSslMd5(bytes)}));
  EXPECT_EQ(errors[1], make_error_code(errc::overflow));
  clsMD5 alone;
  alone.Md5_File_Calc(sparse);
  md5.Md5_Files_Calc(std::vector<std::filesystem::path>{good, sparse});
  EXPECT_EQ(md5.RegisterA(), alone.RegisterA());
  EXPECT_EQ(md5.RegisterD(), alone.RegisterD());
}

#if !defined(_WIN32)
// A pipe that never ends, fed in pieces of odd size: both forms stop reading at exactly 2^28
// bytes, so that the registers they leave agree.
TEST(Md5FilesLarge, EndlessPipeStopsAtTheLimit) {
  const TempDir dir;
  const auto fifo = dir.path() / "endless";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const ByteArray chunk(1000, 0x3C);
  const auto feed = [&] {
    ::signal(SIGPIPE, SIG_IGN);
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    while (fd >= 0 && ::write(fd, chunk.data(), chunk.size()) > 0) {
    }
    if (fd >= 0) ::close(fd);
  };
  clsMD5 alone, together;
  std::error_code why;
  std::thread writer(feed);
  EXPECT_EQ(alone.Md5_File_Calc(fifo, why), u"");
  writer.join();
  EXPECT_EQ(why, make_error_code(errc::overflow));
  writer = std::thread(feed);
  std::vector<std::error_code> errors;
  EXPECT_EQ(together.Md5_Files_Calc(std::vector<std::filesystem::path>{fifo}, errors),
            std::vector<Text>(1));
  writer.join();
  EXPECT_EQ(errors[0], make_error_code(errc::overflow));
  EXPECT_EQ(together.RegisterA(), alone.RegisterA());
  EXPECT_EQ(together.RegisterB(), alone.RegisterB());
}
#endif  // !_WIN32

}  // namespace
}  // namespace ansicrypt::test
