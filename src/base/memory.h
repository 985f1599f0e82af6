// Large blocks of memory: a large game's start fills a few arrays of tens of MB (the kept
// manifest's text, its entries, the cache's slots) once, front to back.
#pragma once
#include <cstddef>
#include <vector>

// Asks the system to back the block with large pages where it can (on Linux, transparent huge
// pages), before it is first written: 2 MiB at a time instead of 4 KiB, so that filling 30 MB
// costs a few dozen page faults rather than thousands. Only a hint; nothing on Windows, where
// large pages need a privilege players do not have.
void adviseLargePages(void* start, std::size_t bytes);

// reserve, then the hint over the whole capacity, for a vector about to be filled.
template <typename T>
void reserveLarge(std::vector<T>& v, std::size_t count) {
  v.reserve(count);
  adviseLargePages(v.data(), v.capacity() * sizeof(T));
}
