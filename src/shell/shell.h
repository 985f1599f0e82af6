// The launcher window's own state and logic, apart from Windows: what the window procedure
// keeps between messages (UiState), what it asks of the platform (ShellHost), and the
// handlers that turn phase messages, frame ticks, mouse and keyboard into state changes and
// actions. launcher_win.cpp feeds them from the window procedure; tests feed them directly.
//
//   UiState           scale, animation clock, speed meter, news copy, launch message, and the
//                     interaction state by panel: pointer, news, side panel volumes, pop-up
//                     list, advanced settings pages
//   ShellHost         the platform's side: repaint, capture, window, shell, runs, game start,
//                     the save notice's timer, the settings poll, whether the game runs
//   Shell             the three together with the Launcher state, the game client's settings
//                     and the last frame's output
//   phase and tick   onLauncherPhase (news copy, restart check), onFrameTick (speed meter),
//                     onSettingsPoll
//   input             hit test, caption hit test, cursor, mouse, wheel
//   keyboard          focus moves (Tab, Shift+Tab, arrows), Enter, Space, Escape, sliders
//   actions           dispatchAction, openLink, playAction, the settings pages' opening and
//                     closing
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gamecfg/config_model.h"
#include "ui/canvas.h"
#include "ui/frame.h"
#include "ui/popups.h"
#include "update/launcher_state.h"
#include "update/speed_meter.h"

// settings.openList and settings.sliderDrag when no setting's list is open or no slider is
// dragged.
inline constexpr int kNoSetting = -1;

// Where the pointer is and what it holds.
struct PointerState {
  int hoverId = 0;  // the region under the pointer (0: none) and its item
  int hoverIndex = -1;
  int pressedId = 0;  // the region the left button went down on (0: none) and its item
  int pressedIndex = -1;
  bool tracking = false;  // a leave notification is requested
};

// The keyboard focus: the region of the last frame that Enter and Space act on, named by its
// action id and item as hover is. Set only by keys, so the ring shows only once the keyboard
// is used; a mouse press takes it away.
struct FocusState {
  int id = 0;  // kActionNone: no focus
  int index = -1;
  // A move that scrolled to reveal what comes next: made again once the next frame shows it.
  int pendingKey = 0;  // a Key, 0 for none
  // The region whose Enter or Space opened each layer (1 the settings pages, 2 a pop-up or an
  // option list): the focus goes back to it when that layer closes.
  std::pair<int, int> openers[3] = {{0, -1}, {0, -1}, {0, -1}};
};

// The news panel's choices; the painter clamps the scroll offsets to what they scroll.
struct NewsState {
  int filter = 0;    // category tab 0..3
  int selected = 0;  // position in the filtered list
  bool detailOpen = false;
  float scroll = 0;      // the list's
  float bodyScroll = 0;  // the expanded card's body
};

// The side panel's volume sliders.
struct VolumeState {
  float music = 1.0f;  // 0..1
  int effects = 5;     // 0..5
  VolumeSlider drag = VolumeSlider::None;
};

// The open pop-up list and what it shows.
struct PopUpState {
  PopUp open = PopUp::None;
  float scroll = 0;
  // The resolution list's entries, refreshed when it opens.
  std::vector<DisplayMode> displayModes;
};

// How long the footer of the settings pages tells how a save went.
inline constexpr std::uint64_t kSaveNoticeMilliseconds = 2500;
// The repaint that ends the notice comes a little after it.
inline constexpr std::uint64_t kSaveNoticeTimerMilliseconds = 2600;

// The advanced settings pages, which cover the main screen while open.
struct SettingsPagesState {
  bool open = false;
  int page = 0;                 // 0..configPageCount() - 1
  int openList = kNoSetting;    // the setting whose option list is open
  int sliderDrag = kNoSetting;  // the setting whose slider is dragged
  float pageScroll = 0;
  float listScroll = 0;  // of the open option list
  float tabScroll = 0;   // of the tab column, when it holds more tabs than fit
  // Whether the game client ran at the last poll (the warning band).
  bool gameRunning = false;
  // The last save's outcome and when (host.now) it was shown first.
  SaveNotice notice = SaveNotice::None;
  std::uint64_t noticeAt = 0;
};

// The window's values of the UI thread.
struct UiState {
  float scale = 1.0f;        // window dpi / 96
  float animationClock = 0;  // seconds, advanced by every frame tick
  SpeedMeter speedMeter;
  std::vector<NewsItem> uiNews;  // the window's own copy of the news
  std::wstring launchMessage;    // a failed game start, shown on the main screen

  PointerState pointer;
  FocusState focus;
  NewsState news;
  VolumeState volume;
  PopUpState popUp;
  SettingsPagesState settings;

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
  // A repaint after kSaveNoticeTimerMilliseconds, when the save notice has ended.
  void (*startSaveNoticeTimer)(void* self) = nullptr;
  // Starts (or stops) the once-a-second tick that calls onSettingsPoll.
  void (*setSettingsPoll)(void* self, bool on) = nullptr;
  // Whether the game client at that path runs (gamecfg's isGameRunning).
  bool (*isGameRunning)(void* self, const std::wstring& executable) = nullptr;
};

struct Shell {
  UiState ui;
  LauncherState* state = nullptr;
  ShellHost host;
  // The game folder (the launcher's folder), ending in a separator.
  std::wstring gameDir;
  // The argument the game client is started with.
  std::wstring launchTicket;
  // The game client's settings (vessa.cfg, loca.cfg, the pages' pending values): the side
  // panel and the pages edit them, the frame shows them.
  GameSettings config;
  // What the last frame published: hit regions, slider tracks, scrollable areas.
  const FrameOutput* frame = nullptr;
};

// ---- phase messages and the frame tick

// A phase message of the update run (phase, detail): copies the news when the manifest was
// accepted, repaints, then restarts the launcher when the run has ended in kPhaseRestart.
void onLauncherPhase(Shell& shell, int phase, int detail);
// The 33 ms tick: animation clock, speed meter (which starts afresh at its first tick of the
// download phase), repaint; stops the timer without a run.
void onFrameTick(Shell& shell);
// The settings pages' tick, once a second while they are open: whether the game client runs,
// repainted when that changed. Stops the tick once the pages are closed.
void onSettingsPoll(Shell& shell);
// Under the state's lock, a copy of the news; outside it, the window's copy replaced.
void copyNewsToUi(Shell& shell);
// A run begins: speed 0, counter 0, last tick now.
void resetSpeed(Shell& shell);

// What one frame shows, from the Launcher state and the window's values.
FrameView makeFrameView(Shell& shell);
// The client configuration's value of key as a decimal integer (the C library's conversion),
// fallback's when the key is absent.
long configuredNumber(const GameConfigFile& file, const char* key, const char* fallback);

// ---- input (positions in canvas units: client pixels divided by scale)

// The topmost region of the last frame holding the point, or null.
const HitRegion* hitTest(const Shell& shell, float x, float y);

// Whether a point of the borderless window moves it (the caption) or is client area.
bool isCaption(const Shell& shell, float x, float y);
// The hand cursor over an enabled region other than the background (kActionBackground) and a
// list's background (kActionListBackground); the arrow elsewhere.
bool showsHandCursor(const Shell& shell, float x, float y);

void onMouseMove(Shell& shell, float x, float y);
void onMouseLeave(Shell& shell);
void onButtonDown(Shell& shell, float x, float y);
void onButtonUp(Shell& shell, float x, float y);
// delta: the wheel's signed amount (120 a notch, positive away from the user).
void onMouseWheel(Shell& shell, float x, float y, int delta);

// The topmost scrollable area of the last frame holding the point; null when none.
const ScrollArea* scrollAreaAt(const Shell& shell, float x, float y);
// Moves the offset of that area by amount within its limit; whether it moved.
bool scrollBy(Shell& shell, const ScrollArea& area, float amount);

// Whether a region of that id is a slider (the side panel's volumes, the pages' sliders).
bool isSlider(int actionId);
// Moves a slider of the last frame by steps key presses (negative: towards its left end): a
// volume is written at once, a setting's pending value changes.
void stepSlider(Shell& shell, const HitRegion& slider, int steps);

// ---- keyboard

enum class Key { Other, Enter, Space, Escape, Tab, BackTab, Left, Right, Up, Down };
// Tab and Shift+Tab (BackTab) move the focus through focusOrder of the last frame, scrolling a
// list or page to reveal what comes next; arrows move it among the regions of the focused
// one's action id (Left and Right along its line, Up and Down across lines) or step a focused
// slider. Enter and Space act on the focused region as a click does; without a focus Enter
// plays. Escape closes the innermost open thing: a settings option list, the settings pages,
// a pop-up list; with nothing open it minimises the window.
void onKeyDown(Shell& shell, Key key);
// After each painted frame: completes a focus move that waited for the frame to show what it
// scrolled into view.
void onFramePainted(Shell& shell);

// The open pop-up list's rectangle (resolution or language list); empty when none is open.
RectF popUpRect(const UiState& ui);

// ---- actions

// A completed click (or Enter and Escape) on a region: handed to the panel that owns the id.
void dispatchAction(Shell& shell, int id, int index);
// Re-reads the client configuration, rebuilds the pending values from it and shows the
// settings pages at page (0..configPageCount() - 1) with nothing open; the pop-up list closes, and
// the poll of the game client starts (at once and then every second).
void openSettingsPages(Shell& shell, int page);
// Closes the advanced settings pages with their option list and slider drag.
void closeSettingsPages(UiState& ui);
// The window's volumes from the client configuration (readMusicVolume, readVoiceVolume), kept
// within 0..1 and 0..5; a music volume that is not a number counts as full.
void refreshVolumes(Shell& shell);
// Opens address in the browser when it starts with "http://" or "https://" (case-sensitive);
// ignores anything else, the empty address included.
bool isOpenableLink(const std::wstring& address);
void openLink(Shell& shell, const std::wstring& address);
// The address of a link key: the manifest's when it has a non-empty one; "site" and "news"
// fall back to the web site's root; other keys to "".
std::wstring linkAddress(Shell& shell, const std::string& key);
// Play when ready (kPhaseReady), retry after an error (kPhaseError), nothing while a run goes
// on.
void playAction(Shell& shell);
