// Status messages of the update run, the frame tick and the frame's view.
#include "shell/shell.h"

#include <mutex>

#include "ui/main_screen.h"

void resetSpeed(Shell& shell) {
  resetSpeedMeter(shell.ui.speedMeter, shell.host.now(shell.host.self));
}

void copyNewsToUi(Shell& shell) {
  std::vector<NewsItem> copy = copyNews(*shell.state);
  shell.ui.uiNews.swap(copy);
}

void onLauncherStatus(Shell& shell, int code, std::intptr_t lParam) {
  if (code == kStatusVerifying && lParam == kManifestAccepted) {
    copyNewsToUi(shell);
    shell.ui.news.selected = 0;
  } else if (code == kStatusDownloading) {
    resetSpeed(shell);
  }
  shell.host.repaint(shell.host.self);

  // The run that put a new launcher in place has ended: hand over to it.
  if (!shell.state->running.load() && shell.state->phase.load() == kStatusRestart &&
      !shell.ui.restarting) {
    shell.ui.restarting = true;
    shell.host.restartLauncher(shell.host.self);
  }
}

void onFrameTick(Shell& shell) {
  const std::uint64_t now = shell.host.now(shell.host.self);
  shell.ui.animationClock += 0.033f;
  const std::uint64_t bytes = shell.state->bytesDone.load();
  sampleSpeed(shell.ui.speedMeter, shell.state->phase.load(), bytes, now);
  shell.host.repaint(shell.host.self);
  // Without a run nothing moves: the window repaints only when something changes.
  if (!shell.state->running.load()) shell.host.stopFrameTimer(shell.host.self);
}

FrameView makeFrameView(Shell& shell) {
  FrameView view;
  view.main = readMainScreenView(*shell.state);
  view.main.launchMessage = shell.ui.launchMessage;
  view.main.speed = shell.ui.speedMeter.speed;
  view.main.clock = shell.ui.animationClock;
  view.hoverId = shell.ui.pointer.hoverId;
  view.hoverIndex = shell.ui.pointer.hoverIndex;
  view.pressedId = shell.ui.pointer.pressedId;
  return view;
}
