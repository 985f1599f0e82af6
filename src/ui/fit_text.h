// Texts shortened to the room they are drawn in, measured by the canvas's own back end, with
// an ellipsis (U+2026) where something was left out.
#pragma once
#include <string>
#include <string_view>

#include "ui/canvas.h"

// text when it fits width on one line in format. Otherwise, when it ends in a path (from its
// first word holding a "/" or "\" to its end), the path loses directories from its middle
// ("data/…/level_07.pak"), then the words before it give way from the start ("…try again:
// data/…/level_07.pak"), so that the file name stays; a text without a path, or one whose
// shortest form is still too long, keeps its start and ends in an ellipsis.
std::wstring fitLine(Canvas& c, std::wstring_view text, TextFormat format, float width);

// text when, wrapped at width, it is at most height high; otherwise its longest start that is,
// cut after a whole word where it can be, followed by an ellipsis.
std::wstring fitLines(Canvas& c, std::wstring_view text, TextFormat format, float width,
                      float height);
