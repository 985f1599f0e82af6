// What the end-to-end tests' build of the launcher (QM_E2E_HOOKS, never shipped) takes from
// its environment and reports back; in the program itself these do nothing.
//   QM_E2E_PATCH_URL    the patch server's base address, in place of the built-in one
//   QM_E2E_PUBLIC_KEY   the publisher's key as 64 hexadecimal digits
//   QM_E2E_STATUS_FILE  a file replaced with the launcher's state, one "name=value" a line
//                       (phase, running, speed, pid, message, error, args), whenever it changes
#pragma once

struct UpdateSettings;
struct LauncherState;
struct UiState;

void applyTestOverrides(UpdateSettings& settings);
void reportTestStatus(LauncherState& state, const UiState& ui);
