#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"

namespace fs = std::filesystem;

namespace {
fs::path toPath(const std::wstring& wide) {
#ifdef _WIN32
  return fs::path(wide);
#else
  return fs::path(wideToUtf8(wide));
#endif
}

std::wstring fromPath(const fs::path& p) {
#ifdef _WIN32
  return p.wstring();
#else
  return utf8ToWide(p.string());
#endif
}

std::string localRelative(const std::string& relative) {
  std::string out = relative;
#ifdef _WIN32
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
#endif
  return out;
}
}  // namespace

std::string testDataDir() { return std::string(QM_TEST_SOURCE_DIR) + "/tests/data/"; }

std::string readTestFile(const std::string& utf8Path) {
  std::ifstream in(toPath(utf8ToWide(utf8Path)), std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot open " << utf8Path;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path base = fs::temp_directory_path() /
                  ("qm-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(base);
  path_ = fromPath(base);
#ifdef _WIN32
  path_ += L'\\';
#else
  path_ += L'/';
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files (set by some tests) must become writable before the folder can go.
  for (auto it = fs::recursive_directory_iterator(toPath(path_), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove_all(toPath(path_), ec);
}

std::wstring TempDir::file(const std::string& relative) const {
  return path_ + utf8ToWide(localRelative(relative));
}

std::wstring TempDir::write(const std::string& relative, const std::string& bytes) const {
  const std::wstring full = file(relative);
  fs::create_directories(toPath(full).parent_path());
  std::ofstream out(toPath(full), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << "cannot write " << relative;
  return full;
}

std::string TempDir::read(const std::string& relative, bool* exists) const {
  std::ifstream in(toPath(file(relative)), std::ios::binary);
  if (exists) *exists = in.good();
  if (!in.good()) return {};
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempDir::exists(const std::string& relative) const {
  std::error_code ec;
  return fs::exists(toPath(file(relative)), ec);
}
