// Sets the process-wide ANSI code page for one test and restores 1252 afterwards.
#pragma once

#include "ansicrypt/platform/code_page.h"

namespace ansicrypt::test {

class CodePageScope {
 public:
  explicit CodePageScope(unsigned codePage) { platform::SetAnsiCodePage(codePage); }
  ~CodePageScope() { platform::SetAnsiCodePage(1252); }
  CodePageScope(const CodePageScope&) = delete;
  CodePageScope& operator=(const CodePageScope&) = delete;
};

}  // namespace ansicrypt::test
