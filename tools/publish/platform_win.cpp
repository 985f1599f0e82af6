// Windows side of publish_platform.h.
#include <windows.h>

#include "base/paths.h"
#include "base/text.h"
#include "publish_platform.h"

namespace {

std::string errorText(DWORD code) { return "Windows error " + std::to_string(code); }

// The final path of an existing folder, with links and junctions resolved; "" on failure.
std::wstring finalPath(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::wstring out(1024, L'\0');
  DWORD n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), 0);
  if (n >= out.size()) {
    out.resize(n + 1);
    n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), 0);
  }
  CloseHandle(h);
  if (n == 0 || n >= out.size()) return {};
  out.resize(n);
  return out;
}

}  // namespace

void prepareConsole() { SetConsoleOutputCP(CP_UTF8); }

bool stderrIsTerminal() { return GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_CHAR; }

bool writeNewPrivateFile(const std::wstring& path, std::string_view bytes, std::string& error) {
  const std::wstring temp = path + kTemporarySuffix;
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    error = wideToUtf8(path) + " already exists; it is not overwritten";
    return false;
  }
  HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = "cannot create " + wideToUtf8(temp) + ": " + errorText(GetLastError());
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(h);
  const DWORD writeError = GetLastError();
  ok = CloseHandle(h) && ok;
  if (!ok) {
    DeleteFileW(temp.c_str());
    error = "cannot write " + wideToUtf8(temp) + ": " + errorText(writeError);
    return false;
  }
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the target appeared meanwhile.
  if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
    const DWORD moveError = GetLastError();
    DeleteFileW(temp.c_str());
    error = (moveError == ERROR_ALREADY_EXISTS || moveError == ERROR_FILE_EXISTS)
                ? wideToUtf8(path) + " already exists; it is not overwritten"
                : "cannot create " + wideToUtf8(path) + ": " + errorText(moveError);
    return false;
  }
  return true;
}

bool isSameOrInside(const std::wstring& inner, const std::wstring& outer) {
  const std::wstring in = finalPath(inner);
  std::wstring out = finalPath(outer);
  if (in.empty() || out.empty()) return false;
  if (out.back() != L'\\') out += L'\\';
  const std::wstring inSlash = in + L'\\';
  if (inSlash.size() < out.size()) return false;
  return CompareStringOrdinal(inSlash.data(), static_cast<int>(out.size()), out.data(),
                              static_cast<int>(out.size()), TRUE) == CSTR_EQUAL;
}
