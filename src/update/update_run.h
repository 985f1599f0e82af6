// One update run: manifest, launcher step, check of the game folder (from the cache or by
// hashing), downloads, deletions, cache and version. It runs on a thread of its own with up
// to three extra workers (fifteen while downloading: fetch.h), and reports only through the
// Launcher state and its notify hook.
//
// A progress display reads from the state (takeRunSnapshot): phase (the last phase posted),
// bytesDone and bytesTotal (bytes hashed in phase 3, compressed bytes received in phases 4 and
// 6), filesDone and filesTotal, currentItem, version, and errorText and errorKind once phase
// is 9. When the thread ends, running turns false and the last phase is posted once more.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "update/launcher_state.h"
#include "update/update_settings.h"

// Starts a run on its own thread. Refused (false) while a run is going; otherwise the previous
// thread is joined, the state's run fields are reset and the thread started.
bool startUpdate(LauncherState& state, bool repair,
                 const UpdateSettings& settings = UpdateSettings());

// The run itself, on the calling thread (startUpdate's thread runs this).
void runUpdate(LauncherState& state, bool repair, const UpdateSettings& settings);

// Waits for the run's thread to end (nothing when there is none).
void joinUpdate(LauncherState& state);
// Asks the run to stop and waits for it: no temporary file is left behind.
void cancelUpdate(LauncherState& state);

// Pauses a run that is downloading, without waiting for it: the run stops at its next check
// (its transfers within a second) as a cancelled run does, and sets `paused` so that displays
// show why. What is done stays done: finished files are in place and recorded in the cache, and
// a large file's partial file keeps the chunks it holds. Resuming is a new run (startUpdate),
// which therefore fetches none of that again; only what was in transfer at the pause starts
// over (a chunk, or a file below the chunking size, from its first byte). A launcher closed while
// paused resumes the same way at its next start. False (nothing done) when the run is not
// downloading.
bool pauseUpdate(LauncherState& state);
// Whether the run is paused and has stopped, so that a new run may resume it.
bool canResumeUpdate(const RunSnapshot& run);
