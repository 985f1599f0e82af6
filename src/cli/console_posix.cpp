// POSIX side of console.h.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "base/text.h"
#include "cli/console.h"
#include "cli/options.h"

namespace {

// Written by the signal handler: a lock-free atomic only.
std::atomic<int> g_status{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int signal) {
  int expected = 0;
  g_status.compare_exchange_strong(expected, 128 + signal);
}

void writeTo(std::FILE* stream, const std::wstring& text) {
  const std::string bytes = wideToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

}  // namespace

void prepareConsole() { ::signal(SIGPIPE, SIG_IGN); }

void writeOut(const std::wstring& text) { writeTo(stdout, text); }
void writeErr(const std::wstring& text) { writeTo(stderr, text); }

bool stdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

std::size_t terminalColumns() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  const char* columns = std::getenv("COLUMNS");
  return columns != nullptr ? static_cast<std::size_t>(std::strtoul(columns, nullptr, 10)) : 0;
}

std::string systemLanguage() {
  // The same order of precedence as the C library's message catalogues.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return languageFromLocale(value);
  }
  return std::string();
}

void installInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  // Restarted system calls: an interrupted read or write of the engine goes on and notices
  // the cancel flag at its next chunk instead of failing as a write error. Nothing the engine
  // does waits without bound in a system call (files open without blocking, a FIFO is refused,
  // the folder lock never waits, transfers look at the flag about once a second), so a
  // restarted call never keeps Ctrl+C from taking effect.
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

int interruptStatus() { return g_status.load(); }

void runFinished() {}
