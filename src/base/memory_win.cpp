// Large pages on Windows need the "Lock pages in memory" privilege: the hint does nothing.
#include "base/memory.h"

void adviseLargePages(void*, std::size_t) {}
