// Progress texts of quillmark-update: phase and number texts, the line.
#include "cli/progress.h"

#include <algorithm>
#include <cstdio>

#include "i18n/strings.h"
#include "update/launcher_state.h"
#include "update/speed_meter.h"

namespace {

std::wstring widen(const char* ascii) {
  std::wstring out;
  for (const char* p = ascii; *p != '\0'; ++p) out.push_back(static_cast<wchar_t>(*p));
  return out;
}

std::wstring withSeparator(std::wstring text) {
  if (usesDecimalComma()) std::replace(text.begin(), text.end(), L'.', L',');
  return text;
}

}  // namespace

std::wstring phaseText(int phase) {
  switch (phase) {
    case kPhaseVerifying:
      return uiText(kStrVerifying);
    case kPhaseChecking:
      return uiText(kStrCheckingLower);
    case kPhaseDownloading:
      return uiText(kStrDownloading);
    case kPhaseApplying:
      return uiText(kStrApplying);
    case kPhaseSelfUpdate:
    case kPhaseRestart:
      return uiText(kStrUpdatingLauncher);
    case kPhaseReady:
      return uiText(kStrUpToDate);
    case kPhaseError:
      return uiText(kStrError);
    default:
      return uiText(kStrConnecting);
  }
}

std::wstring byteText(std::uint64_t bytes) {
  char buffer[48];
  const double b = static_cast<double>(bytes);
  if (bytes < 1024) {
    std::snprintf(buffer, sizeof buffer, "%llu B", static_cast<unsigned long long>(bytes));
  } else if (bytes < 1024ull * 1024) {
    std::snprintf(buffer, sizeof buffer, "%.1f KB", b / 1024.0);
  } else if (bytes < 1024ull * 1024 * 1024) {
    std::snprintf(buffer, sizeof buffer, "%.1f MB", b / 1048576.0);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.2f GB", b / 1073741824.0);
  }
  return withSeparator(widen(buffer));
}

std::wstring progressLine(const RunSnapshot& s, double speed, bool withItem) {
  std::wstring line = phaseText(s.phase);
  if (!phaseMovesBytes(s.phase)) return line;
  const wchar_t* const gap = L"  ";
  if (s.bytesTotal > 0) {
    const std::uint64_t done = std::min(s.bytesDone, s.bytesTotal);
    // Whole percents, truncated: 100 % only once everything has arrived.
    const unsigned percent = static_cast<unsigned>(static_cast<double>(done) * 100.0 /
                                                   static_cast<double>(s.bytesTotal));
    line += gap + std::to_wstring(percent) + L"%";
  }
  if (s.filesTotal > 0) {
    line += gap + std::to_wstring(s.filesDone) + L"/" + std::to_wstring(s.filesTotal) + L" " +
            uiText(kStrFiles);
  }
  if (s.bytesTotal > 0) {
    line += gap + byteText(std::min(s.bytesDone, s.bytesTotal)) + L" / " + byteText(s.bytesTotal);
  }
  if (speed > 1.0) {
    line += gap + byteText(static_cast<std::uint64_t>(speed)) + L"/s";
    if (s.bytesDone < s.bytesTotal) {
      line += gap + timeLeftText(static_cast<double>(s.bytesTotal - s.bytesDone) / speed);
    }
  }
  if (withItem && !s.currentItem.empty()) {
    line += gap + s.currentItem;
  }
  return line;
}

std::wstring fitToWidth(const std::wstring& line, std::size_t columns) {
  if (columns == 0 || line.size() < columns) return line;
  if (columns <= 4) return line.substr(0, columns > 0 ? columns - 1 : 0);
  return line.substr(0, columns - 4) + L"...";
}
