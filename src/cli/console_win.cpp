// Windows side of console.h.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "base/text.h"
#include "cli/console.h"
#include "i18n/strings.h"

namespace {

std::atomic<int> g_status{0};
std::atomic<bool> g_finished{false};

// Windows ends the process when the handler returns from a close, log-off or shut-down event
// (or about five seconds after the event at the latest); until then the run may finish its
// current files and remove its temporary ones.
constexpr DWORD kCloseWaitMs = 4500;

BOOL WINAPI onConsoleEvent(DWORD event) {
  int expected = 0;
  g_status.compare_exchange_strong(expected, 130);
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  for (DWORD waited = 0; waited < kCloseWaitMs && !g_finished.load(); waited += 20) Sleep(20);
  return TRUE;
}

bool isConsole(HANDLE h) {
  DWORD mode = 0;
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_CHAR &&
         GetConsoleMode(h, &mode);
}

void writeTo(DWORD which, std::FILE* stream, const std::wstring& text) {
  const HANDLE h = GetStdHandle(which);
  if (isConsole(h)) {
    // UTF-16 straight to the console: right on every Windows version, whatever its code page.
    std::fflush(stream);
    DWORD written = 0;
    WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = wideToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

}  // namespace

// Consoles get UTF-16 through WriteConsoleW, so the console's code page (which would outlive
// this process) is left alone.
void prepareConsole() {}

void writeOut(const std::wstring& text) { writeTo(STD_OUTPUT_HANDLE, stdout, text); }
void writeErr(const std::wstring& text) { writeTo(STD_ERROR_HANDLE, stderr, text); }

bool stdoutIsTerminal() { return isConsole(GetStdHandle(STD_OUTPUT_HANDLE)); }

std::size_t terminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  return width > 0 ? static_cast<std::size_t>(width) : 0;
}

std::string systemLanguage() { return uiLanguageForWindowsId(GetUserDefaultUILanguage() & 0x3FF); }

void installInterruptHandler() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

int interruptStatus() { return g_status.load(); }

void runFinished() { g_finished.store(true); }
