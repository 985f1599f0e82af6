#include "shell/test_hooks.h"

#ifdef QM_E2E_HOOKS

#include <windows.h>

#include <cstdio>
#include <string>

#include "base/paths.h"
#include "base/text.h"
#include "gamecfg/config_model.h"
#include "i18n/strings.h"
#include "shell/shell.h"
#include "update/update_settings.h"

namespace {

std::wstring environment(const wchar_t* name) {
  wchar_t buffer[2048];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 2048);
  return (n == 0 || n >= 2048) ? std::wstring() : std::wstring(buffer, n);
}

int hexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

void applyTestOverrides(UpdateSettings& settings) {
  const std::wstring url = environment(L"QM_E2E_PATCH_URL");
  if (!url.empty()) settings.patchUrls = {url};
  const std::wstring key = environment(L"QM_E2E_PUBLIC_KEY");
  if (key.size() == 64) {
    PublicKey parsed{};
    for (std::size_t i = 0; i < 32; ++i) {
      const int high = hexDigit(key[2 * i]), low = hexDigit(key[2 * i + 1]);
      if (high < 0 || low < 0) return;
      parsed[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    settings.publicKeys = {parsed};
  }
}

bool interceptShellOpen(const std::wstring& target) {
  static const std::wstring path = environment(L"QM_E2E_OPENED_FILE");
  if (path.empty()) return false;
  const std::string line = wideToUtf8(target) + "\n";
  const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return true;
}

namespace {

// The settings pages' state and the last frame's regions and tracks.
std::string settingsAndFrame(const Shell& shell) {
  const SettingsPagesState& settings = shell.ui.settings;
  std::string text = std::string("settings=") + (settings.open ? "1" : "0") + "\n";
  text += "page=" + std::to_string(settings.page) + "\n";
  text += std::string("gamerunning=") + (settings.gameRunning ? "1" : "0") + "\n";
  text += "notice=" + std::to_string(static_cast<int>(settings.notice)) + "\n";
  if (settings.open) {
    for (const auto& [key, value] : shell.config.pending) {
      text += "value=" + key + " " + value + "\n";
    }
  }
  if (!shell.frame) return text;
  char line[160];
  for (const HitRegion& r : shell.frame->hitRegions) {
    std::snprintf(line, sizeof line, "region=%d %d %.1f %.1f %.1f %.1f %d\n", r.actionId,
                  r.itemIndex, r.rect.left, r.rect.top, r.rect.right, r.rect.bottom,
                  r.enabled ? 1 : 0);
    text += line;
  }
  for (const SliderTrack& t : shell.frame->sliderTracks) {
    std::snprintf(line, sizeof line, "track=%d %d %.1f %.1f %.1f %.1f\n", t.actionId, t.itemIndex,
                  t.track.left, t.track.top, t.track.right, t.track.bottom);
    text += line;
  }
  return text;
}

}  // namespace

void reportTestStatus(const Shell& shell, void* window) {
  static const std::wstring path = environment(L"QM_E2E_STATUS_FILE");
  static std::string last;
  if (path.empty()) return;
  LauncherState& state = *shell.state;
  const UiState& ui = shell.ui;
  char numbers[160];
  std::snprintf(numbers, sizeof numbers, "phase=%d\nrunning=%d\npaused=%d\nspeed=%.0f\npid=%lu\n",
                static_cast<int>(state.phase.load()), state.running.load() ? 1 : 0,
                state.paused.load() ? 1 : 0, static_cast<double>(ui.speedMeter.speed),
                GetCurrentProcessId());
  std::string text = numbers;
  // The status title of the main screen for that phase.
  const int phase = state.phase.load();
  std::string title;
  if (phase == kPhaseReady) title = wideToUtf8(uiText(kStrReadyToPlay));
  if (phase == kPhaseError) title = wideToUtf8(uiText(kStrError));
  if (isPausedDownload(readRunCounters(state))) title = wideToUtf8(uiText(kStrPaused));
  text += "title=" + title + "\n";
  text += "message=" + wideToUtf8(ui.launchMessage) + "\n";
  text += "error=" + wideToUtf8(copyErrorText(state)) + "\n";
  text += std::string("iconic=") + (IsIconic(static_cast<HWND>(window)) ? "1" : "0") + "\n";
  text += "args=" + wideToUtf8(GetCommandLineW()) + "\n";
  text += std::string("language=") + uiLanguageCode() + "\n";
  text +=
      std::string("selector=") + clientLanguage(shownClientLanguage(shell.config.file)).code + "\n";
  text += "news=" + std::to_string(ui.uiNews.size()) + "\n";
  text += std::string("newsdetail=") + (ui.news.detailOpen ? "1" : "0") + "\n";
  text += "focus=" + std::to_string(ui.focus.id) + " " + std::to_string(ui.focus.index) + "\n";
  text += settingsAndFrame(shell);
  if (text == last) return;
  if (writeFileAtomically(path, text)) last = text;
}

#else

void applyTestOverrides(UpdateSettings&) {}
bool interceptShellOpen(const std::wstring&) { return false; }
void reportTestStatus(const Shell&, void*) {}

#endif
