// quillmark-update: the update engine without a window (see update_command.h).
#include "base/files.h"
#include "cli/console.h"
#include "cli/update_command.h"

int main(int argc, char** argv) {
  prepareConsole();
  return runUpdateCommand(commandLineArguments(argc, argv));
}
