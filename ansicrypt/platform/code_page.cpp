// The process-wide ANSI code page and best-fit setting, the threads' overrides of them, and the
// conversions through them.
#include "ansicrypt/platform/code_page.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "ansicrypt/common/utf8.h"
#include "ansicrypt/platform/detail/code_page_tables.h"
#include "ansicrypt/platform/detail/table_codec.h"

namespace ansicrypt::platform {
namespace {

constexpr unsigned kDefaultCodePage = 1252;

struct Page {
  unsigned number;
  const detail::CodePageTables* tables;  // null for 65001 (UTF-8)
};

// Every supported code page: the generated ones and UTF-8. Built once and never destroyed, so
// that conversions stay valid in destructors of other statics and in threads still running at
// exit.
const std::vector<Page>& Pages() {
  static const std::vector<Page>* const pages = [] {
    auto* all = new std::vector<Page>;
    for (const detail::CodePageTables* tables : detail::GeneratedCodePages()) {
      all->push_back({tables->number, tables});
    }
    all->push_back({65001, nullptr});
    return all;
  }();
  return *pages;
}

const Page* Find(unsigned codePage) {
  const std::vector<Page>& pages = Pages();
  const auto it = std::find_if(pages.begin(), pages.end(),
                               [codePage](const Page& p) { return p.number == codePage; });
  return it == pages.end() ? nullptr : &*it;
}

std::atomic<const Page*> selected{nullptr};  // null until set: the default
std::atomic<bool> bestFitSelected{false};

// The calling thread's overrides: null, and -1, where it has none.
thread_local const Page* threadPage = nullptr;
thread_local int threadBestFit = -1;

const Page& Current() {
  if (threadPage != nullptr) return *threadPage;
  const Page* page = selected.load(std::memory_order_acquire);
  if (page != nullptr) return *page;
  static const Page* const defaultPage = Find(kDefaultCodePage);
  return *defaultPage;
}

}  // namespace

void SetAnsiCodePage(unsigned codePage) {
  const Page* page = Find(codePage);
  if (page == nullptr) throw Error(errc::invalid_argument);
  selected.store(page, std::memory_order_release);
}

unsigned AnsiCodePage() noexcept { return Current().number; }

void SetAnsiBestFit(bool bestFit) noexcept { bestFitSelected.store(bestFit); }

bool AnsiBestFit() noexcept {
  return threadBestFit >= 0 ? threadBestFit != 0 : bestFitSelected.load();
}

ScopedAnsiCodePage::ScopedAnsiCodePage(unsigned codePage) : previous_(threadPage) {
  const Page* page = Find(codePage);
  if (page == nullptr) throw Error(errc::invalid_argument);
  threadPage = page;
}

ScopedAnsiCodePage::~ScopedAnsiCodePage() { threadPage = static_cast<const Page*>(previous_); }

ScopedAnsiBestFit::ScopedAnsiBestFit(bool bestFit) noexcept : previous_(threadBestFit) {
  threadBestFit = bestFit ? 1 : 0;
}

ScopedAnsiBestFit::~ScopedAnsiBestFit() { threadBestFit = previous_; }

ByteArray TextToAnsi(std::u16string_view text) {
  const Page& page = Current();
  if (page.tables != nullptr) return detail::EncodeWithTables(*page.tables, text, AnsiBestFit());
  const std::string utf8 = TextToUtf8(text);
  return ByteArray(utf8.begin(), utf8.end());
}

void TextToAnsiInPieces(std::u16string_view text, const AnsiPieceSink& sink) {
  const Page& page = Current();
  if (page.tables != nullptr) {
    detail::EncodeWithTablesInPieces(*page.tables, text, AnsiBestFit(), sink);
    return;
  }
  const std::string utf8 = TextToUtf8(text);
  if (!utf8.empty()) {
    sink(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(utf8.data()),
                                       utf8.size()));
  }
}

Text AnsiToText(const ByteArray& bytes) {
  const Page& page = Current();
  if (page.tables != nullptr) return detail::DecodeWithTables(*page.tables, bytes);
  return Utf8ToText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace ansicrypt::platform
