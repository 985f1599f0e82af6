// The command line of quillmark-publish: keygen, build, verify, prune, each with --help.
// Exit codes: 0 done, 1 the operation failed, 2 bad usage.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct Console {
  std::function<void(const std::string&)> out;       // results, whole lines
  std::function<void(const std::string&)> err;       // errors and notes, whole lines
  std::function<void(const std::string&)> progress;  // a status line redrawn in place, or null
};

int runPublish(const std::vector<std::wstring>& args, const Console& console);
