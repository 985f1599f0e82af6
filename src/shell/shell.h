// The launcher window's own state and logic, apart from Windows: what the window procedure
// keeps between messages (UiState), what it asks of the platform (ShellHost), and the
// handlers that turn status messages, frame ticks, mouse and keyboard into state changes and
// actions. launcher_win.cpp feeds them from the window procedure; tests feed them directly.
//
//   UiState           scale, animation clock, speed meter, news copy, launch message and the
//                     interaction state (hover, press, drags, lists, settings, news)
//   ShellHost         the platform's side: repaint, capture, window, shell, runs, game start
//   Shell             the three together with the Launcher state and the last frame's regions
//   status and tick   onLauncherStatus (news copy, speed reset, restart check), onFrameTick
//   input             hit test, caption hit test, cursor, mouse, wheel, keys
//   actions           dispatchAction, openLink, playAction
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gamecfg/display_modes.h"
#include "shell/speed_meter.h"
#include "ui/canvas.h"
#include "ui/frame.h"
#include "update/launcher_state.h"

// The window's values of the UI thread.
struct UiState {
  float scale = 1.0f;        // window dpi / 96
  float animationClock = 0;  // seconds, advanced by every frame tick
  SpeedMeter speedMeter;
  std::vector<NewsItem> uiNews;  // the window's own copy of the news
  std::wstring launchMessage;    // a failed game start, shown on the main screen

  int hoverId = 0;
  int hoverIndex = -1;
  int pressedId = 0;
  int pressedIndex = -1;
  bool mouseTracking = false;
  int volumeDrag = 0;  // 0 none, 1 music, 2 effects
  int settingSliderDrag = -1;
  int openList = 0;  // 0 none, 1 resolution list, 2 language list
  float listScroll = 0;
  bool settingsOpen = false;
  int settingsPage = 0;
  int settingsList = -1;
  float pageScroll = 0;
  float settingsListScroll = 0;
  int newsFilter = 0;
  int selectedNews = 0;
  bool newsDetailOpen = false;
  float newsScroll = 0;
  float musicVolume = 1.0f;  // 0..1
  int effectsVolume = 5;     // 0..5

  // The resolution list's entries, refreshed when it opens.
  std::vector<DisplayMode> displayModes;
  // Set once the restart after a self-update has begun, so that it happens once.
  bool restarting = false;
};

// What the shell asks of the platform. Every member must be set.
struct ShellHost {
  void* self = nullptr;
  // Invalidates the whole window (the next paint draws it).
  void (*repaint)(void* self) = nullptr;
  void (*setCapture)(void* self) = nullptr;
  void (*releaseCapture)(void* self) = nullptr;
  // Asks for one leave notification when the mouse leaves the window.
  void (*trackMouseLeave)(void* self) = nullptr;
  // Destroys the window, which ends the launcher.
  void (*closeWindow)(void* self) = nullptr;
  void (*minimiseWindow)(void* self) = nullptr;
  // Opens a folder or web address with the shell's "open" verb.
  void (*shellOpen)(void* self, const std::wstring& target) = nullptr;
  // Starts an update run (refused while one runs) and the frame timer.
  void (*startRun)(void* self, bool repair) = nullptr;
  void (*stopFrameTimer)(void* self) = nullptr;
  // Starts the game through the shell: 0, or the system's error code.
  std::uint32_t (*launchGame)(void* self, const std::wstring& executable,
                              const std::wstring& parameters) = nullptr;
  // Gives up the single-instance mutex and starts the launcher again with "--updated".
  void (*restartLauncher)(void* self) = nullptr;
  // Milliseconds of a steady clock.
  std::uint64_t (*now)(void* self) = nullptr;
};

struct Shell {
  UiState ui;
  LauncherState* state = nullptr;
  ShellHost host;
  // The game folder (the launcher's folder), ending in a separator.
  std::wstring gameDir;
  // The argument the game client is started with.
  std::wstring launchTicket;
  // The last frame's hit regions, in drawing order.
  const std::vector<HitRegion>* regions = nullptr;
};

// ---- status messages and the frame tick

// A status message of the update run (code, lParam): copies the news when the manifest was
// accepted, resets the speed meter when downloading starts, repaints, then restarts the
// launcher when the run has ended in phase 7.
void onLauncherStatus(Shell& shell, int code, std::intptr_t lParam);
// The 33 ms tick: animation clock, speed meter, repaint; stops the timer without a run.
void onFrameTick(Shell& shell);
// Under the state's lock, a copy of the news; outside it, the window's copy replaced.
void copyNewsToUi(Shell& shell);
// Speed 0, counter 0, last tick now.
void resetSpeed(Shell& shell);

// What one frame shows, from the Launcher state and the window's values.
FrameView makeFrameView(Shell& shell);

// ---- input (positions in canvas units: client pixels divided by scale)

// The topmost region of the last frame holding the point, or null.
const HitRegion* hitTest(const Shell& shell, float x, float y);

// Whether a point of the borderless window moves it (the caption) or is client area.
bool isCaption(const Shell& shell, float x, float y);
// The hand cursor over an enabled region other than the background (22) and a list's
// background (27); the arrow elsewhere.
bool showsHandCursor(const Shell& shell, float x, float y);

void onMouseMove(Shell& shell, float x, float y);
void onMouseLeave(Shell& shell);
void onButtonDown(Shell& shell, float x, float y);
void onButtonUp(Shell& shell, float x, float y);
// delta: the wheel's signed amount (120 a notch, positive away from the user).
void onMouseWheel(Shell& shell, float x, float y, int delta);

enum class Key { Enter, Escape, Other };
void onKeyDown(Shell& shell, Key key);

// The open pop-up list's rectangle (resolution or language list); empty when none is open.
RectF openListRect(const UiState& ui);

// ---- actions

void dispatchAction(Shell& shell, int id, int index);
// Opens address in the browser when it starts with "http://" or "https://" (case-sensitive);
// ignores anything else, the empty address included.
bool isOpenableLink(const std::wstring& address);
void openLink(Shell& shell, const std::wstring& address);
// The address of a link key: the manifest's when it has a non-empty one; "site" and "news"
// fall back to the web site's root; other keys to "".
std::wstring linkAddress(Shell& shell, const std::string& key);
// Play in phase 8, retry in phase 9, nothing while a run goes on.
void playAction(Shell& shell);
