#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "base/text.h"
#include "publish_run.h"

int runProgram(const std::wstring& exe, const std::vector<std::wstring>& args,
               const std::wstring& outputFile) {
  std::vector<std::string> text{wideToUtf8(exe)};
  for (const std::wstring& a : args) text.push_back(wideToUtf8(a));
  std::vector<char*> argv;
  for (std::string& t : text) argv.push_back(t.data());
  argv.push_back(nullptr);
  const std::string output = wideToUtf8(outputFile);

  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0) ::_exit(127);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
