// Large pages on Linux: madvise over the whole 2 MiB pages inside the block (the kernel only
// backs an aligned 2 MiB range with one).
#include <sys/mman.h>

#include <cstdint>

#include "base/memory.h"

void adviseLargePages(void* start, std::size_t bytes) {
  constexpr std::uintptr_t kLargePage = 2u << 20;
  const std::uintptr_t from =
      (reinterpret_cast<std::uintptr_t>(start) + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(kLargePage - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}
