// The portable part of the running-game check: path comparison and pacing.
#include "gamecfg/game_process.h"

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The upper-case form of the letters that Windows' file systems compare without case in the
// alphabets of the launcher's languages (and Cyrillic); other characters stay as they are.
std::uint32_t upper(wchar_t wide) {
  // wchar_t is signed on Linux; every character of a path is non-negative.
  const std::uint32_t c = static_cast<std::uint32_t>(wide);
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;  // Latin-1, but the division sign
  if (c == 0xFF) return 0x178;
  if (c <= 0x17F) {  // Latin Extended-A: pairs of capital and small letter
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return oddCapital ? (c % 2 == 0 ? c - 1 : c) : (c % 2 == 1 ? c - 1 : c);
  }
  if (c == 0x3AC) return 0x386;                   // ά
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;  // έ ή ί
  if (c == 0x3C2) return 0x3A3;                   // final sigma
  if (c >= 0x3B1 && c <= 0x3CB) return c - 0x20;  // α..ω, ϊ ϋ
  if (c == 0x3CC) return 0x38C;                   // ό
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;  // ύ ώ
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;  // а..я
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;  // ѐ..џ
  return c;
}

}  // namespace

std::wstring executableFileName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool sameExecutablePath(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (isSeparator(a[i]) && isSeparator(b[i])) continue;
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

bool gameAmongProcesses(const std::wstring& gameExePath,
                        const std::vector<std::wstring>& processPaths) {
  for (const std::wstring& path : processPaths) {
    if (path.empty() || sameExecutablePath(path, gameExePath)) return true;
  }
  return false;
}

bool isGameRunning(GameRunningCheck& check, std::uint64_t now, const std::wstring& gameExePath,
                   std::vector<std::wstring> (*listProcesses)(const std::wstring& fileName)) {
  if (check.computed && check.path == gameExePath && now >= check.at &&
      now - check.at < kGameRunningCheckInterval) {
    return check.running;
  }
  const std::wstring fileName = executableFileName(gameExePath);
  check.running = !fileName.empty() &&
                  gameAmongProcesses(canonicalExecutablePath(gameExePath), listProcesses(fileName));
  check.at = now;
  check.path = gameExePath;
  check.computed = true;
  return check.running;
}
