#include "child_process_posix.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "base/text.h"

namespace {

// A user without any rights in the test's folders, for a run as root.
constexpr uid_t kNobody = 65534;

}  // namespace

pid_t startProgram(const std::string& exe, const std::vector<std::wstring>& args,
                   const std::wstring& outputFile, bool withoutRoot) {
  std::vector<std::string> text{exe};
  for (const std::wstring& a : args) text.push_back(wideToUtf8(a));
  std::vector<char*> argv;
  for (std::string& t : text) argv.push_back(t.data());
  argv.push_back(nullptr);
  const std::string output = wideToUtf8(outputFile);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here on.
    const int in = ::open("/dev/null", O_RDONLY);
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || fd < 0 || ::dup2(in, 0) < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0) {
      ::_exit(127);
    }
    if (withoutRoot && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(126);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int waitForExit(pid_t pid, std::chrono::milliseconds timeout, long* maxResidentKiB) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    rusage usage{};
    const pid_t r = ::wait4(pid, &status, WNOHANG, &usage);
    if (r == pid && maxResidentKiB != nullptr) *maxResidentKiB = usage.ru_maxrss;
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (r < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -2;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}
