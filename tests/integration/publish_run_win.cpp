#include <windows.h>

#include "publish_run.h"

namespace {

// One argument quoted for CommandLineToArgvW: backslashes doubled only before a quote.
void appendQuoted(std::wstring& line, const std::wstring& arg) {
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

}  // namespace

int runProgram(const std::wstring& exe, const std::vector<std::wstring>& args,
               const std::wstring& outputFile) {
  std::wstring line;
  appendQuoted(line, exe);
  for (const std::wstring& a : args) {
    line += L' ';
    appendQuoted(line, a);
  }
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  // Full sharing: Wine may release an ended child's copy of the previous call's handle a
  // moment after the process itself is reported as ended.
  HANDLE out = CreateFileW(outputFile.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return -1;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = out;
  si.hStdError = out;
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  CloseHandle(out);
  if (!started) return -1;
  DWORD code = static_cast<DWORD>(-1);
  const bool waited = WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                      GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return waited ? static_cast<int>(code) : -1;
}
