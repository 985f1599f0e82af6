// What the end-to-end tests' build of the launcher (QM_E2E_HOOKS, never shipped) takes from
// its environment and reports back; in the program itself these do nothing.
//   QM_E2E_PATCH_URL    one patch server's base address, in place of the built-in list
//   QM_E2E_PUBLIC_KEY   the publisher's key as 64 hexadecimal digits, in place of the built-in ones
//   QM_E2E_STATUS_FILE  a file replaced with the state that the last painted frame showed,
//                       one "name=value" a line (phase, running, speed, pid, title of the
//                       finished states, message, error, iconic, args), whenever it changes;
//                       written after each paint and each change of the window's size
#pragma once

struct UpdateSettings;
struct LauncherState;
struct UiState;

void applyTestOverrides(UpdateSettings& settings);
// window: the launcher's HWND.
void reportTestStatus(LauncherState& state, const UiState& ui, void* window);
