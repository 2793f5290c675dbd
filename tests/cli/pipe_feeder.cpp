// Test helper for Windows, with pipes of Windows' own (Wine's pipes from Linux behave otherwise):
//   pipe_feeder INPUT TIMEOUT_MS PROGRAM [ARGUMENT]...
// starts PROGRAM with a pipe as its standard input, writes the file INPUT into it and keeps it
// open, so that the program must end without waiting for the end of its input;
//   pipe_feeder --reader-gone TIMEOUT_MS PROGRAM [ARGUMENT]...
// starts PROGRAM with a pipe whose reader has gone as its standard output. Exits with the
// program's status, or 124 when it is still running after the timeout (it is then ended).
// Arguments hold no blanks or quotes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fputs("usage: pipe_feeder (INPUT | --reader-gone) TIMEOUT_MS PROGRAM [ARGUMENT]...\n",
               stderr);
    return 2;
  }
  const bool readerGone = std::wcscmp(argv[1], L"--reader-gone") == 0;
  std::vector<char> bytes;
  if (!readerGone) {
    FILE* input = _wfopen(argv[1], L"rb");
    if (input == nullptr) return 2;
    for (int c; (c = std::fgetc(input)) != EOF;) bytes.push_back(static_cast<char>(c));
    std::fclose(input);
  }

  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (CreatePipe(&readEnd, &writeEnd, &inherited, 0) == 0) return 2;
  // The end the program gets is inherited, ours is not.
  SetHandleInformation(readerGone ? readEnd : writeEnd, HANDLE_FLAG_INHERIT, 0);

  wchar_t program[MAX_PATH];
  if (GetFullPathNameW(argv[3], MAX_PATH, program, nullptr) == 0) return 2;
  std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
  for (int i = 4; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = readerGone ? GetStdHandle(STD_INPUT_HANDLE) : readEnd;
  startup.hStdOutput = readerGone ? writeEnd : GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (CreateProcessW(program, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &startup, &process) == 0) {
    std::fprintf(stderr, "pipe_feeder: cannot start the program (error %lu)\n", GetLastError());
    return 2;
  }
  DWORD written = 0;
  if (readerGone) {
    CloseHandle(writeEnd);
    CloseHandle(readEnd);  // the reader goes before the program writes
    writeEnd = nullptr;
  } else {
    CloseHandle(readEnd);
    WriteFile(writeEnd, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  const DWORD timeout = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  DWORD status = 124;
  if (WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  } else {
    TerminateProcess(process.hProcess, 124);
  }
  if (writeEnd != nullptr) CloseHandle(writeEnd);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
