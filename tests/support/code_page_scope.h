// Sets the process-wide ANSI code page (and best fit) for one test and restores the defaults,
// 1252 without best fit, afterwards.
#pragma once

#include "ansicrypt/platform/code_page.h"

namespace ansicrypt::test {

class CodePageScope {
 public:
  explicit CodePageScope(unsigned codePage, bool bestFit = false) {
    platform::SetAnsiCodePage(codePage);
    platform::SetAnsiBestFit(bestFit);
  }
  ~CodePageScope() {
    platform::SetAnsiCodePage(1252);
    platform::SetAnsiBestFit(false);
  }
  CodePageScope(const CodePageScope&) = delete;
  CodePageScope& operator=(const CodePageScope&) = delete;
};

}  // namespace ansicrypt::test
