// What the end-to-end tests' build of the launcher (QM_E2E_HOOKS, never shipped) takes from
// its environment and reports back; in the program itself these do nothing.
//   QM_E2E_PATCH_URL    one patch server's base address, in place of the built-in list
//   QM_E2E_PUBLIC_KEY   the publisher's key as 64 hexadecimal digits, in place of the built-in ones
//   QM_E2E_STATUS_FILE  a file replaced with the state that the last painted frame showed,
//                       one "name=value" a line (phase, running, speed, pid, title of the
//                       finished states, message, error, iconic, args), whenever it changes;
//                       written after each paint and each change of the window's size;
//                       also the UI language, the number of news entries shown and
//                       whether the card is expanded ("newsdetail"), the keyboard focus
//                       ("focus=ID ITEM", 0 -1 for none), the
//                       settings pages (open, page, game running, save notice, and while they
//                       are open "value=KEY VALUE" per pending value) and what the
//                       frame published: "region=ID ITEM LEFT TOP RIGHT BOTTOM ENABLED" per hit
//                       region and "track=ID ITEM LEFT TOP RIGHT BOTTOM" per slider track, in
//                       canvas units
//   QM_E2E_OPENED_FILE  web addresses and folders the launcher would open are appended to
//                       this file, one a line, instead of being opened
#pragma once
#include <string>

struct UpdateSettings;
struct Shell;

void applyTestOverrides(UpdateSettings& settings);
// True when the target was recorded instead of opened.
bool interceptShellOpen(const std::wstring& target);
// window: the launcher's HWND.
void reportTestStatus(const Shell& shell, void* window);
