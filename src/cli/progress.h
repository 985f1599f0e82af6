// What quillmark-update shows while a run goes on: the phase text from the UI string table,
// percentage, files, bytes, speed (the launcher window's meter, update/speed_meter.h) and time
// left, as one line.
#pragma once
#include <cstdint>
#include <string>

#include "update/launcher_state.h"

// The text of a phase: "Connecting to patch server...", "Checking", "Downloading", ...
std::wstring phaseText(int phase);

// "512 B", "12.5 KB", "412.3 MB", "1.50 GB" (units of 1024), with the UI language's
// decimal separator.
std::wstring byteText(std::uint64_t bytes);

// "Downloading  42%  120/300 files  412.3 MB / 980.0 MB  35.2 MB/s  0:16 left", with the
// current item at the end when withItem. Only phases that move bytes have more than their
// text, and parts without data are left out: no percentage while nothing is to be counted, no
// speed or time before the first sample.
std::wstring progressLine(const RunSnapshot& s, double speed, bool withItem);

// The line cut to columns - 1 characters (so that the cursor never wraps onto a new row);
// columns 0 means unknown width, and the line is left whole.
std::wstring fitToWidth(const std::wstring& line, std::size_t columns);
