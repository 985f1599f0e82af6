// quillmark-publish: the publisher's tool (see cli.h).
#include <cstdio>
#include <string>

#include "base/files.h"
#include "cli.h"
#include "publish_platform.h"

int main(int argc, char** argv) {
  prepareConsole();
  Console console;
  console.out = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  };
  console.err = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  if (stderrIsTerminal()) {
    // One line redrawn in place; blanks cover what a longer previous line left.
    console.progress = [width = std::size_t{0}](const std::string& line) mutable {
      std::string text = "\r" + line;
      if (line.size() < width) text += std::string(width - line.size(), ' ');
      text += line.empty() ? "\r" : "";
      width = line.size();
      std::fwrite(text.data(), 1, text.size(), stderr);
      std::fflush(stderr);
    };
  }
  return runPublish(commandLineArguments(argc, argv), console);
}
