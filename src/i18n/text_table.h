// A language's texts as rows that name their ids, so that each row says which text it is, and
// the check that a table holds every id once, in the order of its enum: a lookup by id is then
// an index, and a missing, extra or misplaced row fails the build in the language it is in.
#pragma once
#include <cstddef>

template <typename Id>
struct TextRow {
  Id id;
  const wchar_t* text;
};

// True when rows are the ids 0..count - 1, each in its place, each with a text.
template <typename Id, std::size_t N>
constexpr bool isCompleteTextTable(const TextRow<Id> (&rows)[N], int count) {
  if (static_cast<int>(N) != count) return false;
  for (std::size_t i = 0; i < N; ++i) {
    if (static_cast<std::size_t>(rows[i].id) != i || rows[i].text == nullptr) return false;
  }
  return true;
}
